#pragma once

namespace game {

// The window's pointer modes, by the codes the handlers use.
enum PointerMode : int {
    DefaultPointer = 0,
    BusyPointer = 11,
    CustomPointer = 99,
};

} // namespace game
