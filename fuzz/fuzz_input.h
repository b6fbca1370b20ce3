// SPDX-License-Identifier: MIT
#pragma once
// What every fuzz target shares: reading several values out of one input, and a check that
// stops the run when an invariant does not hold. Plain C++ so that the same targets build with
// libFuzzer (clang) and with the corpus replay driver (any compiler).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace marrowtune::fuzz {

/// Takes values off the front of a fuzz input. Reading past the end gives zeros and empty text,
/// so every input, however short, is a valid call.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    /// The next byte, or 0 at the end.
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    /// A text of at most 255 bytes: one length byte, then that many bytes (fewer at the end).
    std::string text()
    {
        const std::size_t wanted = byte();
        const std::size_t length = wanted < m_size - m_at ? wanted : m_size - m_at;
        std::string out(reinterpret_cast<const char*>(m_data + m_at), length);
        m_at += length;
        return out;
    }
    /// Everything not read yet.
    std::string rest()
    {
        std::string out(reinterpret_cast<const char*>(m_data + m_at), m_size - m_at);
        m_at = m_size;
        return out;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

[[noreturn]] inline void failCheck(const char* condition, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, condition);
    std::abort();
}

} // namespace marrowtune::fuzz

/// Aborts the run (a finding for libFuzzer, a failure for the replay test) when `condition` is
/// false.
#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0)                                                            \
                 : ::marrowtune::fuzz::failCheck(#condition, __FILE__, __LINE__))
