#include "engine/codec_path.h"

#include <atomic>
#include <new>

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#endif

#include "engine/allocation.h"

namespace glyphshift::engine {
namespace {

#if defined(__SSE2__) && (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
// Not every compiler's __builtin_cpu_supports knows "lzcnt", so ask the processor directly.
// (Only the vector paths need it: a build without SSE2, such as 32-bit Windows, has none.)
bool HasLzcnt() noexcept {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(0x80000001u, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_LZCNT) != 0;
}
#endif

CodecPath DetectBestPath() noexcept {
#if defined(__SSE2__)
#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
  __builtin_cpu_init();  // this runs from a static constructor, possibly before the runtime's own
  // Every extension the AVX-512 kernels are compiled for (their target attributes), or the
  // first instruction of a missing one would kill the program.
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vbmi") &&
      __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && HasLzcnt()) {
    return CodecPath::kAvx512;
  }
  if (__builtin_cpu_supports("ssse3")) return CodecPath::kSsse3;
#endif
  return CodecPath::kSse2;
#else
  return CodecPath::kReference;
#endif
}

const CodecPath kBestPath = DetectBestPath();
std::atomic<CodecPath> gPath{kBestPath};

}  // namespace

CodecPath BestCodecPath() noexcept { return kBestPath; }

CodecPath CurrentCodecPath() noexcept { return gPath.load(std::memory_order_relaxed); }

CodecPath SetCodecPath(CodecPath path) noexcept {
  const CodecPath chosen = static_cast<int>(path) > static_cast<int>(kBestPath) ? kBestPath : path;
  gPath.store(chosen, std::memory_order_relaxed);
  return chosen;
}

void* AllocateReverseTable(std::size_t bytes) noexcept {
  if (AllocationFailsForTesting()) return nullptr;
  return ::operator new(bytes, std::nothrow);
}

void ReleaseReverseTable(void* block) noexcept { ::operator delete(block); }

}  // namespace glyphshift::engine
