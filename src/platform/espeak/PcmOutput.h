#pragma once

#include <QByteArray>
#include <QtGlobal>

// Where the player sends 16-bit mono samples: the sound device, or a clock that only
// pretends to play them. Used on the playback thread only.
class PcmOutput {
public:
    virtual ~PcmOutput() = default;
    // Opens the output; false when it cannot play (the player then falls back to the clock).
    virtual bool start() = 0;
    virtual void stop() = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    // How many bytes write() takes now.
    virtual qint64 bytesFree() = 0;
    virtual qint64 write(const QByteArray& pcm) = 0;
    // Samples heard since start(), never more than were written.
    virtual qint64 playedSamples() = 0;
    // The device went away while playing.
    virtual bool hasFailed() const = 0;
};
