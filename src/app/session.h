#pragma once
// Who is signed in, kept in session.json. The file holds the service's token,
// so only its owner may read it, at every moment of its life.
#include "core/json.h"

#include <cstdint>
#include <string>

namespace qm {

// Fields in the order of the file's keys.
struct Session {
    std::string email;
    std::string token;  // signed in exactly when not empty
    int64_t user_id = 0;
    std::string display_name;
    double signed_in_at = 0.0;

    bool operator==(const Session&) const = default;
};

// A document that is not an object, or a wrongly typed member, gives the
// empty record or that member's default.
Session sessionFromJson(const Json& node);
// One line of compact JSON with the five keys.
std::string renderSession(const Session& session);

Session loadSession();
void saveSession(const Session& session);
void deleteSession();

}  // namespace qm
