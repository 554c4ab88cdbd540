// The Linux environment: each service is the platform function of the same name.
#include "platform/env.h"

#include "platform/locale.h"

namespace platform {
namespace {

class LinuxEnv final : public Env {
 public:
  Handle CreateFile(const std::u16string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    return platform::CreateFile(path, access, share, disposition, flags);
  }
  bool CloseHandle(Handle handle) override { return platform::CloseHandle(handle); }
  bool CancelIo(Handle handle) override { return platform::CancelIo(handle); }
  bool BindToPort(Handle file, const PortPtr& port) override {
    return platform::BindToPort(file, port);
  }
  bool ReadFile(Handle file, void* buffer, std::uint32_t bytes, Overlapped* ov) override {
    return platform::ReadFile(file, buffer, bytes, ov);
  }
  bool WriteFile(Handle file, const void* buffer, std::uint32_t bytes, Overlapped* ov) override {
    return platform::WriteFile(file, buffer, bytes, ov);
  }
  bool SetFilePointer(Handle file, std::int64_t position) override {
    return platform::SetFilePointer(file, position);
  }
  bool SetEndOfFile(Handle file) override { return platform::SetEndOfFile(file); }
  bool SetFileTime(Handle file, FileTime creation, FileTime last_access,
                   FileTime last_write) override {
    return platform::SetFileTime(file, creation, last_access, last_write);
  }
  std::uint32_t GetFileAttributes(const std::u16string& path) override {
    return platform::GetFileAttributes(path);
  }
  bool GetFileAttributesEx(const std::u16string& path, FileAttributeData* data) override {
    return platform::GetFileAttributesEx(path, data);
  }
  bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes) override {
    return platform::SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::u16string& path) override { return platform::DeleteFile(path); }
  bool RemoveDirectory(const std::u16string& path) override {
    return platform::RemoveDirectory(path);
  }
  bool ForceDirectories(const std::u16string& path) override {
    return platform::ForceDirectories(path);
  }
  Handle FindFirstFile(const std::u16string& pattern, FindData* data) override {
    return platform::FindFirstFile(pattern, data);
  }
  bool FindNextFile(Handle find, FindData* data) override {
    return platform::FindNextFile(find, data);
  }
  bool FindClose(Handle find) override { return platform::FindClose(find); }
  Handle OpenVolumeRoot(const std::string& mount_point) override {
    return platform::OpenVolumeRoot(mount_point);
  }
  bool CreateFoldersAt(Handle root, const std::u16string& path) override {
    return platform::CreateFoldersAt(root, path);
  }
  Handle CreateFileAt(Handle root, const std::u16string& path, std::uint32_t access,
                              std::uint32_t disposition, std::uint32_t flags) override {
    return platform::CreateFileAt(root, path, access, disposition, flags);
  }
  bool SetFileAttributesAt(Handle root, const std::u16string& path,
                                   std::uint32_t attributes) override {
    return platform::SetFileAttributesAt(root, path, attributes);
  }
  bool GetFileAttributesExAt(Handle root, const std::u16string& path,
                                     FileAttributeData* data) override {
    return platform::GetFileAttributesExAt(root, path, data);
  }
  bool DeleteFileAt(Handle root, const std::u16string& path) override {
    return platform::DeleteFileAt(root, path);
  }
  bool RemoveDirectoryAt(Handle root, const std::u16string& path) override {
    return platform::RemoveDirectoryAt(root, path);
  }
  bool MoveFileAt(Handle root, const std::u16string& from, const std::u16string& to) override {
    return platform::MoveFileAt(root, from, to);
  }
  Handle FindFirstFileAt(Handle root, const std::u16string& path, FindData* data) override {
    return platform::FindFirstFileAt(root, path, data);
  }
  bool FlushVolume(Handle root, Overlapped* ov) override {
    return platform::FlushVolume(root, ov);
  }
  bool GetFileAttributesByHandle(Handle file, FileAttributeData* data) override {
    return platform::GetFileAttributesByHandle(file, data);
  }
  bool SetFileAttributesByHandle(Handle file, std::uint32_t attributes) override {
    return platform::SetFileAttributesByHandle(file, attributes);
  }
  PortPtr CreatePort() override { return CompletionPort::Create(); }
  bool GlobalMemoryStatus(MemoryStatus* status) override {
    return platform::GlobalMemoryStatus(status);
  }
  void* VirtualAlloc(std::uint64_t size) override { return platform::VirtualAlloc(size); }
  std::shared_ptr<Drives> CurrentDrives() override { return platform::CurrentDrives(); }
  double Now() override { return platform::Now(); }
};

}  // namespace

std::shared_ptr<Env> DefaultEnv() {
  static const std::shared_ptr<Env> env = std::make_shared<LinuxEnv>();
  return env;
}

}  // namespace platform
