#include "lookup/linux/capabilities.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace varnock::linux_backend {
namespace {

// glibc has no wrappers for capget and capset; the raw calls with version 3
// carry all 64 capabilities in two words.
struct CapabilitySets {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
};

CapabilitySets CurrentSets() {
    CapabilitySets sets;
    if (::syscall(SYS_capget, &sets.header, sets.data) != 0) {
        throw std::system_error(errno, std::generic_category(), "capget");
    }
    return sets;
}

void Apply(CapabilitySets& sets) {
    if (::syscall(SYS_capset, &sets.header, sets.data) != 0) {
        throw std::system_error(errno, std::generic_category(), "capset");
    }
}

constexpr unsigned kWordBits = 32;

}  // namespace

bool RaiseNetRaw() {
    try {
        CapabilitySets sets = CurrentSets();
        auto& word = sets.data[CAP_NET_RAW / kWordBits];
        const __u32 bit = 1U << (CAP_NET_RAW % kWordBits);
        if ((word.effective & bit) != 0) {
            return true;
        }
        if ((word.permitted & bit) == 0) {
            return false;
        }
        word.effective |= bit;
        Apply(sets);
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

void DropAllCapabilities() {
    // The bounding set first: dropping from it needs CAP_SETPCAP, which the
    // next step takes away. EPERM (no CAP_SETPCAP) and EINVAL (past the
    // kernel's last capability) end the loop.
    for (unsigned long capability = 0; capability < 64; ++capability) {
        if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) {
            break;
        }
    }
    // Ambient capabilities would come back at the next exec.
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    const CapabilitySets current = CurrentSets();
    bool holdsAny = false;
    for (const auto& word : current.data) {
        holdsAny = holdsAny || word.effective != 0 || word.permitted != 0 || word.inheritable != 0;
    }
    // A process that holds nothing (any ordinary user) has nothing to
    // clear, and must not fail where a sandbox forbids the calls.
    if (holdsAny) {
        CapabilitySets none;
        Apply(none);
    }
    // Without no_new_privs a program with file capabilities (this one
    // again) would give them back when run, where the bounding set could
    // not be cleared.
    if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 && holdsAny) {
        throw std::system_error(errno, std::generic_category(), "no_new_privs");
    }
}

}  // namespace varnock::linux_backend
