#pragma once

#include "platform/espeak/PcmOutput.h"

#include <QElapsedTimer>

// Plays nothing, but consumes samples at the rate a sound device would: without a device
// the words still come one by one at their spoken times and every stream still ends.
// Like a device it holds only a short buffer and runs dry when nothing is written.
class ClockOutput : public PcmOutput {
public:
    ClockOutput(int sampleRate, int bufferMs);

    bool start() override;
    void stop() override;
    void suspend() override;
    void resume() override;
    qint64 bytesFree() override;
    qint64 write(const QByteArray& pcm) override;
    qint64 playedSamples() override;
    bool hasFailed() const override { return false; }

private:
    void advance();

    const int m_sampleRate;
    const qint64 m_bufferSamples;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_playedNs = 0; // played time, in nanoseconds of samples
    qint64 m_written = 0;
    bool m_running = false;
    bool m_suspended = false;
};
