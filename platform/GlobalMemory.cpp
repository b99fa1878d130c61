// Global memory blocks identified by 32-bit handles from a table; a stale or unknown handle is
// refused, never dereferenced.

#include "platform/HandleTable.h"
#include "platform/Windows.h"

#include <memory>
#include <new>

namespace {

struct Block {
  std::unique_ptr<unsigned char[]> bytes;
  std::size_t size = 0;
  unsigned locks = 0;
};

platform::HandleTable<Block>& Blocks() {
  static platform::HandleTable<Block> table;
  return table;
}

Block* Find(HGLOBAL handle) { return Blocks().Find(handle); }

}  // namespace

HGLOBAL GlobalAlloc(UINT uFlags, std::size_t dwBytes) {
  Block block;
  // A block of zero bytes still gets one byte so that its lock gives a distinct address.
  block.bytes.reset(new (std::nothrow) unsigned char[dwBytes ? dwBytes : 1]);
  if (!block.bytes) return 0;
  if (uFlags & GMEM_ZEROINIT) std::fill_n(block.bytes.get(), dwBytes ? dwBytes : 1, 0);
  block.size = dwBytes;
  return Blocks().Add(std::move(block));
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

HGLOBAL GlobalFree(HGLOBAL hMem) { return Blocks().Remove(hMem) ? 0 : hMem; }

std::size_t GlobalSize(HGLOBAL hMem) {
  Block* block = Find(hMem);
  return block ? block->size : 0;
}
