#pragma once

// Starting the reader when the user logs on. Both calls fail silently: a desktop
// that refuses the entry must not spoil saving the settings.
class AutoStart {
public:
    virtual ~AutoStart() = default;
    // Writes (or rewrites) the log-on entry for the running program.
    virtual void add() = 0;
    // Removes the entry; a missing entry is no error.
    virtual void remove() = 0;
};
