#pragma once

#include "ui/Page.h"
#include "ui/SaveFailure.h"
#include "store/TokenDB.h"

// What the PIN pages do once the store is open: a token pack that still needs its authorisation
// code leads to the activation page, anything else (none, or installed silently) to the home page.
// A pack token that could not be saved is reported; its pack stays for the next start.
inline void navigateAfterUnlock(QWidget* owner, CTokenDB& store, CPageNavigator* navigator) {
    const PackOutcome pack = store.checkTokenPack();
    reportPackSaveFailure(owner, pack);
    if (!navigator)
        return;
    navigator->Navigate(pack == PackPending ? pageid::TokenPackActivate : pageid::Otp);
}

// Pictures of the round action button.
namespace picture {
constexpr int ActionNormal = 209;
constexpr int ActionPressed = 211;
} // namespace picture
