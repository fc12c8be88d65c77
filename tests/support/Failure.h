// The message of a failure a test provokes, to compare with the exact text the user would see.
#pragma once

#include <exception>
#include <string>

namespace tbx::test {

/// The message of the exception of type \p E that \p action raises, or "" when it raises none.
/// Exceptions of other types go on to the test, which then fails with their message.
template <class E = std::exception, class F>
std::string failureOf(F &&action)
{
    try {
        action();
    } catch (const E &e) {
        return e.what();
    }
    return "";
}

} // namespace tbx::test
