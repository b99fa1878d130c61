// Global memory blocks identified by 32-bit handles from a table; a stale or unknown handle is
// refused, never dereferenced.

#include "platform/Windows.h"

#include <memory>
#include <new>
#include <unordered_map>

namespace {

struct Block {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  unsigned locks = 0;
};

struct Table {
  std::unordered_map<HGLOBAL, Block> blocks;
  HGLOBAL next = 1;
};

Table& Blocks() {
  static Table table;
  return table;
}

Block* Find(HGLOBAL handle) {
  auto& blocks = Blocks().blocks;
  auto it = blocks.find(handle);
  return it == blocks.end() ? nullptr : &it->second;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes) {
  Table& table = Blocks();
  Block block;
  // A block of zero bytes still gets one byte so that its lock gives a distinct address.
  block.bytes.reset(new (std::nothrow) unsigned char[dwBytes ? dwBytes : 1]);
  if (!block.bytes) return 0;
  if (uFlags & GMEM_ZEROINIT) std::fill_n(block.bytes.get(), dwBytes ? dwBytes : 1, 0);
  block.size = dwBytes;
  HGLOBAL handle = table.next;
  while (handle == 0 || table.blocks.count(handle)) ++handle;
  table.next = handle + 1;
  table.blocks.emplace(handle, std::move(block));
  return handle;
}

LPVOID GlobalLock(HGLOBAL hMem) {
  Block* block = Find(hMem);
  if (!block) return nullptr;
  ++block->locks;
  return block->bytes.get();
}

BOOL GlobalUnlock(HGLOBAL hMem) {
  Block* block = Find(hMem);
  if (!block || block->locks == 0) return FALSE;
  --block->locks;
  return block->locks > 0 ? TRUE : FALSE;
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
  auto& blocks = Blocks().blocks;
  auto it = blocks.find(hMem);
  if (it == blocks.end()) return hMem;
  blocks.erase(it);
  return 0;
}

std::size_t GlobalSize(HGLOBAL hMem) {
  Block* block = Find(hMem);
  return block ? block->size : 0;
}
