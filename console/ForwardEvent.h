// How both windows hand an event to the handlers: an exception must not cross the toolkit's event dispatch
// (the handlers report what the user needs to know themselves), and once the program has ended no event runs.
#pragma once

template <typename Handler>
void ForwardEvent(bool programEnded, Handler&& handler) noexcept {
    if (programEnded) {
        return;
    }
    try {
        handler();
    } catch (...) {
    }
}
