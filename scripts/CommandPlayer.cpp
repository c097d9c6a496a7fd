// SPDX-License-Identifier: BSD-3-Clause
#include "scripts/CommandPlayer.h"

NextCommandStep NextCommand(PlayPosition& position) {
    NextCommandStep step;
    if (position.count <= 0 || position.selected < 0 || position.selected >= position.count) {
        // Nothing selected (after a delete) or nothing to play: send nothing.
        return step;
    }
    step.load = position.selected;
    if (position.selected < position.count - 1) {
        ++position.selected;
        step.more = true;
        return step;
    }
    // The last command of a lap.
    if (position.loopCount <= 1) return step;
    --position.loopCount;
    // A lap start left behind by deletes falls back to the first command.
    position.selected =
        (position.startIndex >= 0 && position.startIndex < position.count) ? position.startIndex : 0;
    step.more = true;
    return step;
}

namespace {
bool Stop(const PlayerHooks& hooks) { return hooks.stopRequested && hooks.stopRequested(); }
}  // namespace

unsigned RepeatCommand(const PlayerHooks& hooks) {
    unsigned sent = 0;
    PlayPosition position;
    while (hooks.readPosition(position) && position.loopCount != 0) {
        const PlayerResult result = hooks.transmit();
        ++sent;
        // The exchange let the windows run: read the count again.
        if (!hooks.readPosition(position)) return sent;
        hooks.writePosition(position, true);  // the field shows this repetition's count
        --position.loopCount;
        hooks.writePosition(position, false);
        if (result != 0 || Stop(hooks)) break;
    }
    if (hooks.readPosition(position)) {
        position.loopCount = 1;
        hooks.writePosition(position, true);
    }
    return sent;
}

unsigned PlayCommandFile(const PlayerHooks& hooks) {
    unsigned sent = 0;
    PlayPosition position;
    for (;;) {
        if (!hooks.readPosition(position)) break;
        const NextCommandStep step = NextCommand(position);
        hooks.writePosition(position, true);
        if (step.load < 0) break;
        hooks.load(step.load);
        const PlayerResult result = hooks.transmit();
        ++sent;
        if (result != 0 || !step.more || Stop(hooks)) break;
    }
    return sent;
}
