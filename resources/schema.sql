-- The library database of a new installation. Statements are separated by ";" at line ends.
CREATE TABLE BookList (
    id       INTEGER PRIMARY KEY AUTOINCREMENT,
    type     TEXT NOT NULL DEFAULT '',
    name     TEXT NOT NULL DEFAULT '',
    author   TEXT NOT NULL DEFAULT '',
    path     TEXT NOT NULL UNIQUE,
    marke    TEXT NOT NULL DEFAULT 'Null',
    lastread TEXT DEFAULT (strftime('%Y-%m-%d %H:%M:%S', 'now', 'localtime'))
);
CREATE INDEX BookList_type_id ON BookList(type, id);
CREATE INDEX BookList_name ON BookList(name);
CREATE TABLE SysSet (
    DownSavePath TEXT NOT NULL DEFAULT '',
    AutoRun      INTEGER NOT NULL DEFAULT 0,
    BossKey      TEXT NOT NULL DEFAULT 'Ctrl|B',
    TxtColor     TEXT NOT NULL DEFAULT '000000',
    TxtSize      TEXT NOT NULL DEFAULT '中号',
    BackColor    TEXT NOT NULL DEFAULT 'FBF7EE'
);
INSERT INTO SysSet (DownSavePath, AutoRun, BossKey, TxtColor, TxtSize, BackColor)
    VALUES ('', 0, 'Ctrl|B', '000000', '中号', 'FBF7EE');
