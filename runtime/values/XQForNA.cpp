// The stored host interface of the index keys.
#include "XQForNA.h"

#include <atomic>

namespace {

std::atomic<IXQForNA*> gpiXQForNA{nullptr};

}  // namespace

void XQForNA_Set(IXQForNA* piXQ) { gpiXQForNA.store(piXQ, std::memory_order_release); }

IXQForNA* XQForNA_piGet() { return gpiXQForNA.load(std::memory_order_acquire); }
