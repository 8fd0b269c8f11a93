// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/mm/memory.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Block {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  int locks = 0;
};

struct Heap {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, Block> blocks;
  std::uintptr_t next_handle = 1;
  int alloc_countdown = 0;  // 0: no fault armed
  int lock_countdown = 0;
};

Heap& TheHeap() {
  static Heap heap;
  return heap;
}

std::uintptr_t Key(HGLOBAL h) { return reinterpret_cast<std::uintptr_t>(h); }

// True when an armed countdown reaches its fault with this call.
bool FaultFires(int& countdown) {
  if (countdown <= 0) return false;
  return --countdown == 0;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  if (FaultFires(heap.alloc_countdown)) return nullptr;
  Block block;
  // A zero-byte block still gets an address of its own.
  block.size = dwBytes;
  block.bytes.reset(new (std::nothrow) unsigned char[dwBytes == 0 ? 1 : dwBytes]);
  if (!block.bytes) return nullptr;
  std::memset(block.bytes.get(), (uFlags & GMEM_ZEROINIT) ? 0 : platform::kGlobalFillPattern,
              dwBytes == 0 ? 1 : dwBytes);
  std::uintptr_t key = heap.next_handle++;
  heap.blocks.emplace(key, std::move(block));
  return reinterpret_cast<HGLOBAL>(key);
}

void* GlobalLock(HGLOBAL hMem) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(Key(hMem));
  if (it == heap.blocks.end()) return nullptr;
  if (FaultFires(heap.lock_countdown)) return nullptr;
  ++it->second.locks;
  return it->second.bytes.get();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(Key(hMem));
  if (it == heap.blocks.end() || it->second.locks == 0) return 0;
  return --it->second.locks > 0 ? 1 : 0;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  return heap.blocks.erase(Key(hMem)) == 1 ? nullptr : hMem;
}

namespace platform {

int LiveGlobalBlocks() {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  return static_cast<int>(heap.blocks.size());
}

std::size_t GlobalBlockSize(HGLOBAL hMem) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  auto it = heap.blocks.find(Key(hMem));
  return it == heap.blocks.end() ? 0 : it->second.size;
}

void FailGlobalAllocAfter(int n) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  heap.alloc_countdown = n > 0 ? n : 0;
}

void FailGlobalLockAfter(int n) {
  Heap& heap = TheHeap();
  std::lock_guard lock(heap.mutex);
  heap.lock_countdown = n > 0 ? n : 0;
}

void ClearGlobalMemoryFaults() {
  FailGlobalAllocAfter(0);
  FailGlobalLockAfter(0);
}

}  // namespace platform
