#pragma once

#include <system_error>

// Database read failures that are neither the system's nor a wrong PIN.
enum class StoreError {
    // The PIN is right, but the records are of a later format than this version reads.
    NewerDatabase = 1,
};

const std::error_category& storeErrorCategory();

std::error_code make_error_code(StoreError error);

template <>
struct std::is_error_code_enum<StoreError> : std::true_type {};
