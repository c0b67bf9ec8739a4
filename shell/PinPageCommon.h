#pragma once

#include "shell/Page.h"
#include "store/TokenDB.h"

// What the PIN pages do once the store is open: a token pack that still needs its authorisation
// code leads to the activation page, anything else (none, or installed silently) to the home page.
inline void navigateAfterUnlock(CTokenDB& store, CPageNavigator* navigator) {
    const PackResult pack = store.checkTokenPack();
    if (!navigator)
        return;
    navigator->Navigate(pack == PackPending ? pageid::TokenPackActivate : pageid::Otp);
}

// Pictures of the round action button.
namespace picture {
constexpr int ActionNormal = 209;
constexpr int ActionPressed = 211;
} // namespace picture
