#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace vandrel::test {

// A small file system of its own on a folder, for what only a real one shows
// (a full disk, a read-only folder even root cannot write). Needs the right
// to mount; mounted() tells whether the test has it.
class TmpfsMount {
 public:
  TmpfsMount(std::filesystem::path at, const std::string& size) : at_(std::move(at)), options_("size=" + size) {
    std::filesystem::create_directories(at_);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options_.c_str()) == 0;
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(at_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return mounted_; }
  bool MakeReadOnly() const {
    return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, options_.c_str()) == 0;
  }

 private:
  std::filesystem::path at_;
  std::string options_;
  bool mounted_ = false;
};

}  // namespace vandrel::test
