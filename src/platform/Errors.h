// The exception classes of the system. Every refusal and every failure below the automation
// layer is one of these, carrying a fixed English message; the automation layer turns it into a
// failed call whose error description is that message.
#pragma once

#include <stdexcept>
#include <string>

namespace tbx {

/// Base of all exceptions raised by the system.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// A refusal or an SDK failure, raised by the engine and the drivers.
class ECamException : public Exception {
public:
    using Exception::Exception;
};

/// A library file or another file that could not be found, opened or loaded.
class EInOutError : public Exception {
public:
    using Exception::Exception;
};

/// An internal consistency check failed (for example an SDK entry point missing from a library).
class EAssertionFailed : public Exception {
public:
    using Exception::Exception;
};

} // namespace tbx
