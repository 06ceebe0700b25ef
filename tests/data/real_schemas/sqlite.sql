-- A schema as people write them: national text types, a generated column, expression defaults,
-- keys of one and of two columns (one naming no columns), a CHECK, binary data and a view of
-- expressions.
PRAGMA foreign_keys = ON;
CREATE TABLE team (team_id INTEGER PRIMARY KEY, name NVARCHAR(40) NOT NULL UNIQUE, motto NTEXT);
CREATE TABLE member (
    member_id INTEGER PRIMARY KEY,
    team_id INTEGER NOT NULL REFERENCES team,
    full_name VARCHAR(80) NOT NULL,
    rate DECIMAL(4,2) CHECK (rate >= 0),
    active BOOLEAN NOT NULL DEFAULT 1,
    name_length INTEGER GENERATED ALWAYS AS (length(full_name)) VIRTUAL,
    joined DATE NOT NULL DEFAULT CURRENT_DATE,
    created TIMESTAMP NOT NULL DEFAULT (datetime('now')),
    badge BLOB,
    code NCHAR(3)
);
CREATE TABLE shift (member_id INTEGER REFERENCES member (member_id), day DATE, hours INTEGER, PRIMARY KEY (member_id, day));
CREATE TABLE swap (member_id INTEGER, day DATE, reason TEXT, FOREIGN KEY (member_id, day) REFERENCES shift (member_id, day));
CREATE TABLE place (name TEXT);
CREATE VIEW team_load AS SELECT t.name, count(m.member_id) AS members, avg(m.rate) * 2 AS double_rate
    FROM team t LEFT JOIN member m ON m.team_id = t.team_id GROUP BY t.name;
INSERT INTO team (name, motto) VALUES ('Core', 'Keep it simple'), ('Ops', 'Pager on');
INSERT INTO member (team_id, full_name, rate, code) VALUES (1, 'Ada Byron', 2.5, 'ADA');
INSERT INTO shift VALUES (1, '2024-01-02', 8);
INSERT INTO swap VALUES (1, '2024-01-02', 'dentist');
INSERT INTO place VALUES ('HQ');
