#pragma once

#include <QKeyEvent>

// A key press with Alt (not AltGr, which comes as Ctrl+Alt on some systems) that carries a
// character: no edit box may type it, as it is a mnemonic that nothing answered.
inline bool isAltCharacter(const QKeyEvent& key) {
    const Qt::KeyboardModifiers mods = key.modifiers();
    return (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier) && !key.text().isEmpty() &&
           key.text().front().isPrint();
}
