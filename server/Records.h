#pragma once

#include <QString>

// Review state of an uploaded book, as the user's book list reports it.
enum class Review { Pending = 0, Approved = 1, Rejected = 2 };

struct BookRecord {
    qint64 id = 0;
    QString name;
    QString category;
    QString author;
    QString statue; // "连载" or "全集"
    QString newchap;
    QString memo;
    QString file;  // stored name under files/
    QString cover; // stored name under files/, empty without a cover
    qint64 sizeKb = 0;
    QString ftime; // "yyyy-MM-dd HH:mm:ss", sorts as text
    Review review = Review::Pending;
    qint64 uploaderId = 0; // 0 for books imported by the administrator
    qint64 updateOf = 0;   // the book this upload replaces once approved, 0 for a new book
};

struct UserRecord {
    qint64 id = 0;
    QString name;
    QString pwhash;
    QString answerHash;
    QString email;
    QString sex;
    QString qq;
    QString question;
    qint64 points = 0;
    qint64 money = 0;
    qint64 logins = 0;
    QString lastdate;
    QString lastLoginDay; // "yyyy-MM-dd" of the last login, for the daily points
};

struct RankEntry {
    QString name;
    qint64 value = 0;
};
