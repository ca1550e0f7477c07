#pragma once

#include <string>

// Signing kelsor-ocr in the way the desktop client does at start: the saved
// session goes to the account service's auto-login call, the user record
// that comes back gives the cloud credentials, and those the identity token.
namespace kelsor::tools {

enum class OcrSignIn {
    SignedIn,
    NoSession,     // no saved session, or one that does not decrypt
    Refused,       // the account service did not take the session
    Unreachable,   // the account service did not answer
    NoCloudToken,  // signed in, but the identity service gave no token
};

// Needs App() built. Like the client, a session that began is saved again
// with the token of the reply (the service hands out a new one and the old
// one stops working). Several runs at once take turns here, so that each
// sends the token the one before it saved. `detail` says what went wrong.
OcrSignIn SignInWithSavedSession(std::string& detail);

}  // namespace kelsor::tools
