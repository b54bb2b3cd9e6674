#include "support/Platform_mem.h"

namespace reelstart {

// Each model is given the parts it shares, built before it: the last error,
// and the file system whose paths the others read.
MemoryPlatform::MemoryPlatform()
    : MemoryFileSystem(static_cast<standin::LastError&>(*this)),
      MemoryProcess(static_cast<standin::LastError&>(*this),
                    static_cast<MemoryFileSystem&>(*this)),
      MemoryLocale(static_cast<standin::LastError&>(*this)),
      MemoryResources(static_cast<standin::LastError&>(*this),
                      static_cast<MemoryFileSystem&>(*this)),
      MemoryShell(static_cast<MemoryFileSystem&>(*this)) {
  previous_ = SetPlatform(this);
}

MemoryPlatform::~MemoryPlatform() { SetPlatform(previous_); }

}  // namespace reelstart
