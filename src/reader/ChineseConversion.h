#pragma once

#include <QString>

#include <array>

// Showing a book in simplified or traditional characters. Each direction's dictionaries
// are loaded the first time it is used and kept; a direction whose configuration cannot be
// loaded leaves the text as it is and says why once (takeProblem).
class ChineseConversion {
public:
    enum class Mode { None = 0, ToTraditional = 1, ToSimplified = 2 };

    // `configFolder` holds the converter's s2t.json and t2s.json with their dictionaries.
    explicit ChineseConversion(const QString& configFolder = defaultConfigFolder());
    ~ChineseConversion();
    ChineseConversion(const ChineseConversion&) = delete;
    ChineseConversion& operator=(const ChineseConversion&) = delete;

    static QString defaultConfigFolder();
    // The stored name of a mode ("s2t", "t2s", empty for none) and back; anything else is None.
    static QString modeName(Mode mode);
    static Mode modeFromName(const QString& name);

    // `text` in `mode`'s characters; ASCII (markup included) is left alone. The text
    // unchanged for None and for a direction that could not be loaded.
    QString convert(const QString& text, Mode mode);
    // Whether `mode` converts (loading it if need be).
    bool isAvailable(Mode mode);
    // The message for a direction that failed to load, once; empty otherwise.
    QString takeProblem();

private:
    void* converterFor(Mode mode);

    QString m_folder;
    // One converter per direction, null until loaded; `m_failed` once loading failed.
    std::array<void*, 3> m_converters{};
    std::array<bool, 3> m_failed{};
    QString m_problem;
};
