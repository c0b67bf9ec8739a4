#include "store/StoreError.h"

#include <string>

namespace {

class StoreErrorCategory : public std::error_category {
public:
    const char* name() const noexcept override { return "valdorix-store"; }
    std::string message(int value) const override {
        switch (static_cast<StoreError>(value)) {
        case StoreError::NewerDatabase:
            return "the database was written by a newer version of Valdorix";
        }
        return "unknown database error";
    }
};

} // namespace

const std::error_category& storeErrorCategory() {
    static const StoreErrorCategory category;
    return category;
}

std::error_code make_error_code(StoreError error) {
    return {static_cast<int>(error), storeErrorCategory()};
}
