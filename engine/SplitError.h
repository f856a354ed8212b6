#pragma once

#include <stdexcept>

// The one error class of the engine; its message is one of the fixed texts the run logs.
class SplitError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};
