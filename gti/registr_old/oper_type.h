#pragma once
// The drilling-operation code of a frame: a code of the operations table
// (Operations). A 32-bit integer in memory and in the module stream, one byte
// in the real-time records. 0 means "none" where an operation is imposed by
// the operator.

#include <cstdint>

using OperType = std::int32_t;
