#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace vandrel::test {

// A tmpfs on a folder, for a full disk or a folder even root cannot write; mounted() if allowed.
class TmpfsMount {
 public:
  TmpfsMount(std::filesystem::path at, const std::string& size) : at_(std::move(at)), options_("size=" + size) {
    std::filesystem::create_directories(at_);
    mounted_ = ::mount("tmpfs", at_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options_.c_str()) == 0;
  }
  ~TmpfsMount() { if (mounted_) ::umount2(at_.c_str(), MNT_DETACH); }
  TmpfsMount(const TmpfsMount&) = delete; TmpfsMount& operator=(const TmpfsMount&) = delete;

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
