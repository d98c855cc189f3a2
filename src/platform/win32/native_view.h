#pragma once
// A 32-bit program on 64-bit Windows sees the system folder redirected: its
// "System32" is SysWOW64, and the real System32 is out of sight. A search of
// the drive would then walk SysWOW64 twice under two names, list each file
// there twice, and never reach the real System32. While one of these lives,
// the thread sees the file system as it is. Only the file functions of the
// search and the deletion run under it: the loader and everything else on
// the thread need the redirection, so it is back before the next call.
namespace win32 {

class NativeFileView {
 public:
  NativeFileView();
  ~NativeFileView();
  NativeFileView(const NativeFileView&) = delete;
  NativeFileView& operator=(const NativeFileView&) = delete;

 private:
  void* previous_ = nullptr;
  bool off_ = false;
};

}  // namespace win32
