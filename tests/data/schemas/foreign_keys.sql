CREATE TABLE label (id INTEGER PRIMARY KEY, note TEXT, code NCHAR(4) UNIQUE, title NVARCHAR(40), bio NTEXT);
CREATE TABLE person (id INTEGER PRIMARY KEY, full_name TEXT, boss INTEGER REFERENCES person (id));
CREATE TABLE bare (id INTEGER PRIMARY KEY);
CREATE TABLE tagged (id INTEGER PRIMARY KEY, note TEXT, tag TEXT UNIQUE);
CREATE TABLE album (id INTEGER PRIMARY KEY, label_id INTEGER REFERENCES label, owner INTEGER REFERENCES person,
                    bare_id INTEGER REFERENCES bare (id), tag_id INTEGER REFERENCES tagged, title TEXT,
                    slug TEXT GENERATED ALWAYS AS (lower(title)));
CREATE TABLE track (album_id INTEGER REFERENCES album, no INTEGER, PRIMARY KEY (album_id, no));
CREATE TABLE play (album_id INTEGER, track_no INTEGER, FOREIGN KEY (album_id, track_no) REFERENCES track);
CREATE VIEW counts AS SELECT count(*) AS n, avg(id) * 1.5 AS mean, 'x' || title AS shout, NULL AS blank FROM album;
INSERT INTO album (title) VALUES ('One');
