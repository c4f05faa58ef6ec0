#pragma once
// Owners for the system handles the Win32 layer opens, and the conversions
// between the numbers the core keeps and real handles.
#include <windows.h>

#include <cstdint>

#include "platform/types.h"
#include "platform/unique_resource.h"

namespace qm {

// CreateFile answers INVALID_HANDLE_VALUE when it fails.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

// Mutexes, events, processes and threads answer null when they fail.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::CloseHandle(h); }
};

// The service control manager and its services need their own closer.
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::CloseServiceHandle(h); }
};

struct RegKeyTraits {
    using Handle = HKEY;
    static Handle invalid() noexcept { return nullptr; }
    static void close(Handle h) noexcept { ::RegCloseKey(h); }
};

// Folder searches answer INVALID_HANDLE_VALUE too, but close with FindClose.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(Handle h) noexcept { ::FindClose(h); }
};

using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueFindHandle = UniqueResource<FindHandleTraits>;
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;
using UniqueRegKey = UniqueResource<RegKeyTraits>;

// Window and icon handles are 32-bit values even in 64-bit processes, which
// widen them with the sign; so does this, whether the number kept by the core
// was cut to 32 bits or not.
template <typename H>
H handleFromId(std::uintptr_t id) {
    return reinterpret_cast<H>(
        static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(id))));
}

inline HWND windowFromId(WindowId id) { return handleFromId<HWND>(id); }

}  // namespace qm
