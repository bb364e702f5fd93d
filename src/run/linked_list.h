// The program's doubly linked list. The run uses it as the last-in, first-out stack of
// directories still to be listed: AddHead to push, RemoveHead to take.
//
// The list never owns values. With `ownsNodes` set, destroying the list deletes the nodes still
// linked; otherwise they are left alone. A node unlinks itself from its list when deleted.
#pragma once

#include <cstdint>
#include <new>

namespace glyphshift {

template <class T>
class CLinkedList;

template <class T>
class CLinkedListNode {
 public:
  explicit CLinkedListNode(T initialValue) : value(initialValue) {}
  CLinkedListNode(const CLinkedListNode&) = delete;
  CLinkedListNode& operator=(const CLinkedListNode&) = delete;

  virtual ~CLinkedListNode() {
    if (list != nullptr) list->Remove(this);
  }

  virtual CLinkedListNode* GetPrevious() const { return previous; }
  virtual CLinkedListNode* GetNext() const { return next; }
  virtual T GetValue() const { return value; }
  virtual void SetValue(T newValue) { value = newValue; }
  virtual CLinkedList<T>* GetList() const { return list; }

  // Asks the list to unlink this node; null when it is not linked.
  virtual CLinkedListNode* Remove() { return list != nullptr ? list->Remove(this) : nullptr; }

  // Links `node` directly behind this node (toward the tail).
  virtual CLinkedListNode* InsertAfter(CLinkedListNode* node) {
    return list != nullptr ? list->InsertAfter(node, this) : nullptr;
  }

  // Deletes through the virtual destructor; a null node is ignored by CLinkedList::DeleteNode.
  virtual void Delete() { delete this; }

  CLinkedList<T>* list = nullptr;
  CLinkedListNode* next = nullptr;
  CLinkedListNode* previous = nullptr;
  T value;
};

template <class T>
class CLinkedList {
 public:
  using Node = CLinkedListNode<T>;

  explicit CLinkedList(bool ownNodes) : ownsNodes(ownNodes) {}
  CLinkedList(const CLinkedList&) = delete;
  CLinkedList& operator=(const CLinkedList&) = delete;

  virtual ~CLinkedList() {
    if (ownsNodes) RemoveAll();
  }

  std::uint32_t GetCount() const { return count; }

  // Creates a node for `value` and links it as the new head. Null when the node cannot be
  // allocated: the caller reports it, nothing is thrown.
  Node* AddHead(T value) {
    Node* node = new (std::nothrow) Node(value);
    return node != nullptr ? AddHeadNode(node) : nullptr;
  }

  Node* AddHeadNode(Node* node) {
    if (node == nullptr) return nullptr;
    node->list = this;
    if (head != nullptr) {
      node->previous = nullptr;
      node->next = head;
      head->previous = node;
    } else {
      tail = node;
    }
    head = node;
    ++count;
    return node;
  }

  Node* AddTailNode(Node* node) {
    if (node == nullptr) return nullptr;
    node->list = this;
    if (tail != nullptr) {
      node->next = nullptr;
      node->previous = tail;
      tail->next = node;
    } else {
      head = node;
    }
    tail = node;
    ++count;
    return node;
  }

  // The removed node keeps its own `next`, as the stack's caller never reads it.
  Node* RemoveHead() {
    Node* removed = head;
    if (removed == nullptr) return nullptr;
    removed->list = nullptr;
    head = removed->next;
    --count;
    if (head != nullptr) {
      head->previous = nullptr;
    } else {
      tail = nullptr;
    }
    return removed;
  }

  Node* Remove(Node* node) {
    if (node == nullptr || node->list == nullptr) return nullptr;
    if (node == tail) {
      node->list = nullptr;
      tail = node->previous;
      --count;
      if (tail != nullptr) {
        tail->next = nullptr;
      } else {
        head = nullptr;
      }
      return node;
    }
    if (node == head) return RemoveHead();
    node->list = nullptr;
    node->next->previous = node->previous;
    node->previous->next = node->next;
    --count;
    return node;
  }

  Node* InsertAfter(Node* node, Node* reference) {
    if (node == nullptr || reference == nullptr) return nullptr;
    if (reference == tail) return AddTailNode(node);
    node->list = this;
    node->next = reference->next;
    node->previous = reference;
    reference->next->previous = node;
    reference->next = node;
    ++count;
    return node;
  }

  // Deletes every node, tail first; each destructor unlinks its node.
  void RemoveAll() {
    while (tail != nullptr) delete tail;
  }

  void DeleteNode(Node* node) {
    if (node != nullptr) node->Delete();
  }

  Node* tail = nullptr;
  Node* head = nullptr;
  std::uint32_t count = 0;
  bool ownsNodes;
};

}  // namespace glyphshift
