#pragma once

#include "platform/espeak/PcmOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>

#include <memory>

class QAudioSink;
class QIODevice;

// The sound device through QAudioSink, written to as room frees up. Created, used and
// destroyed on the playback thread.
class AudioSinkOutput : public PcmOutput {
public:
    AudioSinkOutput(const QAudioDevice& device, int sampleRate, int bufferMs);
    ~AudioSinkOutput() override;

    bool start() override;
    void stop() override;
    void suspend() override;
    void resume() override;
    qint64 bytesFree() override;
    qint64 write(const QByteArray& pcm) override;
    qint64 playedSamples() override;
    bool hasFailed() const override;

private:
    QAudioDevice m_device;
    QAudioFormat m_format;
    int m_bufferBytes;
    std::unique_ptr<QAudioSink> m_sink;
    QIODevice* m_io = nullptr;
    qint64 m_written = 0;
};
