#include "platform/MpvRecordLeak.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>

// libmpv 0.35 and 0.36 (client API 2.0 and 2.1) clone every recorded packet
// before handing it to libavformat and never free the clone: about a hundred
// bytes a packet, 15 MB for an hour of MP3. Later versions free it. The
// executable exports this name, so libmpv's call comes here first; the packet
// is blank once written, and freeing it is all those versions leave undone.

namespace {

using WriteFrame = int (*)(void*, void*);
using FreePacket = void (*)(void**);

std::atomic<WriteFrame> write_frame{nullptr};
std::atomic<FreePacket> free_packet{nullptr};
std::atomic<void*> mpv_base{nullptr};

}  // namespace

extern "C" __attribute__((visibility("default"))) int av_interleaved_write_frame(void* muxer, void* packet) {
  WriteFrame write = write_frame.load();
  if (write == nullptr) write = reinterpret_cast<WriteFrame>(dlsym(RTLD_NEXT, "av_interleaved_write_frame"));
  if (write == nullptr) return -ENOSYS;
  const int written = write(muxer, packet);
  Dl_info caller{};
  const FreePacket release = free_packet.load();
  // Only libmpv's own calls hand over a packet nobody frees.
  if (release != nullptr && packet != nullptr && dladdr(__builtin_return_address(0), &caller) != 0 &&
      caller.dli_fbase == mpv_base.load()) {
    release(&packet);
  }
  return written;
}

namespace vandrel {

void MendRecordLeak(void* mpv, unsigned long api_version) {
  auto write = reinterpret_cast<WriteFrame>(dlsym(mpv, "av_interleaved_write_frame"));
  if (write == nullptr || write == &av_interleaved_write_frame) return;
  write_frame = write;
  const unsigned long fixed = 2UL << 16 | 2, first_leaking = 2UL << 16;
  Dl_info library{};
  auto release = reinterpret_cast<FreePacket>(dlsym(mpv, "av_packet_free"));
  void* create = dlsym(mpv, "mpv_create");
  if (api_version < first_leaking || api_version >= fixed || release == nullptr || create == nullptr ||
      dladdr(create, &library) == 0) {
    return;
  }
  mpv_base = library.dli_fbase;
  free_packet = release;
}

}  // namespace vandrel
