#include "run/linked_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace glyphshift {
namespace {

using List = CLinkedList<int*>;
using Node = CLinkedListNode<int*>;

// Walks head to tail and tail to head and checks that both agree with `count`, so a broken
// back link shows up even where forward links are fine.
std::vector<int> Values(const List& list) {
  std::vector<int> forward;
  for (Node* n = list.head; n != nullptr; n = n->GetNext()) forward.push_back(*n->GetValue());
  std::vector<int> backward;
  for (Node* n = list.tail; n != nullptr; n = n->GetPrevious()) backward.insert(backward.begin(), *n->GetValue());
  EXPECT_EQ(forward, backward);
  EXPECT_EQ(forward.size(), list.GetCount());
  EXPECT_EQ(list.head == nullptr, list.tail == nullptr);
  return forward;
}

TEST(CLinkedList, AsAStackItIsLastInFirstOut) {
  int a = 1, b = 2, c = 3;
  List list(false);
  list.AddHead(&a);
  list.AddHead(&b);
  list.AddHead(&c);
  EXPECT_EQ(Values(list), (std::vector<int>{3, 2, 1}));
  for (int expected : {3, 2, 1}) {
    Node* node = list.RemoveHead();
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(*node->GetValue(), expected);
    EXPECT_EQ(node->GetList(), nullptr);
    list.DeleteNode(node);
    Values(list);
  }
  EXPECT_EQ(list.RemoveHead(), nullptr);
  EXPECT_EQ(list.GetCount(), 0u);
}

TEST(CLinkedList, RemoveFromEveryPosition) {
  int v[4] = {0, 1, 2, 3};
  List list(true);
  Node* nodes[4];
  for (int i = 0; i < 4; ++i) nodes[i] = list.AddTailNode(new Node(&v[i]));
  EXPECT_EQ(list.Remove(nodes[2]), nodes[2]);  // middle
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 3}));
  EXPECT_EQ(list.Remove(nodes[3]), nodes[3]);  // tail
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1}));
  EXPECT_EQ(nodes[0]->Remove(), nodes[0]);  // head, through the node
  EXPECT_EQ(Values(list), (std::vector<int>{1}));
  EXPECT_EQ(list.Remove(nodes[1]), nodes[1]);  // the only one
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
  EXPECT_EQ(list.Remove(nodes[1]), nullptr) << "an unlinked node is not removed twice";
  EXPECT_EQ(list.Remove(nullptr), nullptr);
  EXPECT_EQ(list.GetCount(), 0u);
  for (Node* n : nodes) delete n;
}

TEST(CLinkedList, RemoveOfATakenHeadChangesNothing) {
  int a = 1, b = 2;
  List list(true);
  list.AddHead(&a);
  list.AddHead(&b);
  Node* taken = list.RemoveHead();
  EXPECT_EQ(list.Remove(taken), nullptr);
  EXPECT_EQ(Values(list), (std::vector<int>{1}));
  delete taken;
}

TEST(CLinkedList, InsertAfterLinksBehindTheReference) {
  int v[4] = {0, 1, 2, 3};
  List list(true);
  Node* first = list.AddHead(&v[0]);
  Node* last = list.InsertAfter(new Node(&v[3]), first);
  EXPECT_EQ(list.tail, last) << "inserting after the tail makes a new tail";
  first->InsertAfter(new Node(&v[1]));
  list.InsertAfter(new Node(&v[2]), first->GetNext());
  EXPECT_EQ(Values(list), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(list.InsertAfter(nullptr, first), nullptr);
  Node refused(&v[0]);
  EXPECT_EQ(list.InsertAfter(&refused, nullptr), nullptr) << "null reference";
  EXPECT_EQ(refused.GetList(), nullptr);
}

struct CountingNode : CLinkedListNode<int*> {
  explicit CountingNode(int* v, int& deaths) : CLinkedListNode<int*>(v), deaths_(deaths) {}
  ~CountingNode() override { ++deaths_; }
  int& deaths_;
};

TEST(CLinkedList, OwningListDeletesNodesButNotValues) {
  int deaths = 0;
  int value = 42;
  {
    List list(true);
    for (int i = 0; i < 3; ++i) list.AddTailNode(new CountingNode(&value, deaths));
  }
  EXPECT_EQ(deaths, 3);
  EXPECT_EQ(value, 42);

  deaths = 0;
  CountingNode* kept = new CountingNode(&value, deaths);
  {
    List list(false);
    list.AddHeadNode(kept);
  }
  EXPECT_EQ(deaths, 0) << "a non-owning list leaves its nodes alone";
  kept->list = nullptr;  // its list is gone; don't let the destructor reach it
  delete kept;
  EXPECT_EQ(deaths, 1);
}

TEST(CLinkedListNode, DeletingALinkedNodeUnlinksIt) {
  int a = 1, b = 2, c = 3;
  List list(false);
  list.AddHead(&a);
  Node* middle = list.AddHead(&b);
  list.AddHead(&c);
  middle->Delete();
  EXPECT_EQ(Values(list), (std::vector<int>{3, 1}));
  while (Node* n = list.RemoveHead()) list.DeleteNode(n);
}

}  // namespace
}  // namespace glyphshift
