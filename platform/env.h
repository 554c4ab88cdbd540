// The operating-system services the engine and the program use, as one object that is passed to
// them (TEntorno::Env) rather than reached as global functions, so that a test can put a wrapper
// in its place that fails, shortens or slows what it chooses and forwards the rest.
//
// Each method has the contract of the function of the same name (files.h, completion_port.h,
// memory.h, drives.h, locale.h): it may be called from any thread, sets the calling thread's
// last error on failure and never throws.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/completion_port.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/volume_files.h"

namespace platform {

class Env {
 public:
  virtual ~Env() = default;

  // Files and folders.
  virtual Handle CreateFile(const std::u16string& path, std::uint32_t access, std::uint32_t share,
                            std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual bool CloseHandle(Handle handle) = 0;
  virtual bool CancelIo(Handle handle) = 0;
  virtual bool BindToPort(Handle file, const PortPtr& port) = 0;
  virtual bool ReadFile(Handle file, void* buffer, std::uint32_t bytes, Overlapped* ov) = 0;
  virtual bool WriteFile(Handle file, const void* buffer, std::uint32_t bytes,
                         Overlapped* ov) = 0;
  virtual bool SetFilePointer(Handle file, std::int64_t position) = 0;
  virtual bool SetEndOfFile(Handle file) = 0;
  virtual bool SetFileTime(Handle file, FileTime creation, FileTime last_access,
                           FileTime last_write) = 0;
  virtual std::uint32_t GetFileAttributes(const std::u16string& path) = 0;
  virtual bool GetFileAttributesEx(const std::u16string& path, FileAttributeData* data) = 0;
  virtual bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes) = 0;
  virtual bool DeleteFile(const std::u16string& path) = 0;
  virtual bool RemoveDirectory(const std::u16string& path) = 0;
  virtual bool ForceDirectories(const std::u16string& path) = 0;
  virtual Handle FindFirstFile(const std::u16string& pattern, FindData* data) = 0;
  virtual bool FindNextFile(Handle find, FindData* data) = 0;
  virtual bool FindClose(Handle find) = 0;

  // Files on a destination drive, below a handle of its root (volume_files.h).
  virtual Handle OpenVolumeRoot(const std::string& mount_point) = 0;
  virtual bool CreateFoldersAt(Handle root, const std::u16string& path) = 0;
  virtual Handle CreateFileAt(Handle root, const std::u16string& path, std::uint32_t access,
                              std::uint32_t disposition, std::uint32_t flags) = 0;
  virtual bool SetFileAttributesAt(Handle root, const std::u16string& path,
                                   std::uint32_t attributes) = 0;
  virtual bool GetFileAttributesExAt(Handle root, const std::u16string& path,
                                     FileAttributeData* data) = 0;
  virtual bool DeleteFileAt(Handle root, const std::u16string& path) = 0;
  virtual bool RemoveDirectoryAt(Handle root, const std::u16string& path) = 0;
  virtual bool MoveFileAt(Handle root, const std::u16string& from, const std::u16string& to) = 0;
  virtual Handle FindFirstFileAt(Handle root, const std::u16string& path, FindData* data) = 0;
  virtual bool FlushVolume(Handle root, Overlapped* ov) = 0;
  virtual bool GetFileAttributesByHandle(Handle file, FileAttributeData* data) = 0;
  virtual bool SetFileAttributesByHandle(Handle file, std::uint32_t attributes) = 0;

  // Completion ports.
  virtual PortPtr CreatePort() = 0;

  // Memory.
  virtual bool GlobalMemoryStatus(MemoryStatus* status) = 0;
  // A block buffer is released by its last holder, on whichever thread that is, with
  // platform::VirtualFree: an environment may refuse an allocation but hands out the
  // platform's buffers.
  virtual void* VirtualAlloc(std::uint64_t size) = 0;

  // Drives: the table in use.
  virtual std::shared_ptr<Drives> CurrentDrives() = 0;

  // The clock: the current local date-time.
  virtual double Now() = 0;
};

// The Linux services. One object, shared by whoever asks.
std::shared_ptr<Env> DefaultEnv();

// Forwards every call to another environment; a test's environment derives from it and
// overrides only what it changes.
class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(std::shared_ptr<Env> target) : target_(std::move(target)) {}
  Env& target() const { return *target_; }

  Handle CreateFile(const std::u16string& path, std::uint32_t access, std::uint32_t share,
                    std::uint32_t disposition, std::uint32_t flags) override {
    return target_->CreateFile(path, access, share, disposition, flags);
  }
  bool CloseHandle(Handle handle) override { return target_->CloseHandle(handle); }
  bool CancelIo(Handle handle) override { return target_->CancelIo(handle); }
  bool BindToPort(Handle file, const PortPtr& port) override {
    return target_->BindToPort(file, port);
  }
  bool ReadFile(Handle file, void* buffer, std::uint32_t bytes, Overlapped* ov) override {
    return target_->ReadFile(file, buffer, bytes, ov);
  }
  bool WriteFile(Handle file, const void* buffer, std::uint32_t bytes, Overlapped* ov) override {
    return target_->WriteFile(file, buffer, bytes, ov);
  }
  bool SetFilePointer(Handle file, std::int64_t position) override {
    return target_->SetFilePointer(file, position);
  }
  bool SetEndOfFile(Handle file) override { return target_->SetEndOfFile(file); }
  bool SetFileTime(Handle file, FileTime creation, FileTime last_access,
                   FileTime last_write) override {
    return target_->SetFileTime(file, creation, last_access, last_write);
  }
  std::uint32_t GetFileAttributes(const std::u16string& path) override {
    return target_->GetFileAttributes(path);
  }
  bool GetFileAttributesEx(const std::u16string& path, FileAttributeData* data) override {
    return target_->GetFileAttributesEx(path, data);
  }
  bool SetFileAttributes(const std::u16string& path, std::uint32_t attributes) override {
    return target_->SetFileAttributes(path, attributes);
  }
  bool DeleteFile(const std::u16string& path) override { return target_->DeleteFile(path); }
  bool RemoveDirectory(const std::u16string& path) override {
    return target_->RemoveDirectory(path);
  }
  bool ForceDirectories(const std::u16string& path) override {
    return target_->ForceDirectories(path);
  }
  Handle FindFirstFile(const std::u16string& pattern, FindData* data) override {
    return target_->FindFirstFile(pattern, data);
  }
  bool FindNextFile(Handle find, FindData* data) override {
    return target_->FindNextFile(find, data);
  }
  bool FindClose(Handle find) override { return target_->FindClose(find); }
  Handle OpenVolumeRoot(const std::string& mount_point) override {
    return target_->OpenVolumeRoot(mount_point);
  }
  bool CreateFoldersAt(Handle root, const std::u16string& path) override {
    return target_->CreateFoldersAt(root, path);
  }
  Handle CreateFileAt(Handle root, const std::u16string& path, std::uint32_t access,
                              std::uint32_t disposition, std::uint32_t flags) override {
    return target_->CreateFileAt(root, path, access, disposition, flags);
  }
  bool SetFileAttributesAt(Handle root, const std::u16string& path,
                                   std::uint32_t attributes) override {
    return target_->SetFileAttributesAt(root, path, attributes);
  }
  bool GetFileAttributesExAt(Handle root, const std::u16string& path,
                                     FileAttributeData* data) override {
    return target_->GetFileAttributesExAt(root, path, data);
  }
  bool DeleteFileAt(Handle root, const std::u16string& path) override {
    return target_->DeleteFileAt(root, path);
  }
  bool RemoveDirectoryAt(Handle root, const std::u16string& path) override {
    return target_->RemoveDirectoryAt(root, path);
  }
  bool MoveFileAt(Handle root, const std::u16string& from, const std::u16string& to) override {
    return target_->MoveFileAt(root, from, to);
  }
  Handle FindFirstFileAt(Handle root, const std::u16string& path, FindData* data) override {
    return target_->FindFirstFileAt(root, path, data);
  }
  bool FlushVolume(Handle root, Overlapped* ov) override {
    return target_->FlushVolume(root, ov);
  }
  bool GetFileAttributesByHandle(Handle file, FileAttributeData* data) override {
    return target_->GetFileAttributesByHandle(file, data);
  }
  bool SetFileAttributesByHandle(Handle file, std::uint32_t attributes) override {
    return target_->SetFileAttributesByHandle(file, attributes);
  }
  PortPtr CreatePort() override { return target_->CreatePort(); }
  bool GlobalMemoryStatus(MemoryStatus* status) override {
    return target_->GlobalMemoryStatus(status);
  }
  void* VirtualAlloc(std::uint64_t size) override { return target_->VirtualAlloc(size); }
  std::shared_ptr<Drives> CurrentDrives() override { return target_->CurrentDrives(); }
  double Now() override { return target_->Now(); }

 private:
  std::shared_ptr<Env> target_;
};

}  // namespace platform
