-- A schema as people write them: enumerations and sets, BOOLEAN, a generated column, a
-- timestamp the server updates, keys of one and of two columns, a CHECK and binary data.
CREATE TABLE team (team_id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(40) NOT NULL UNIQUE, motto TEXT);
CREATE TABLE member (
    member_id INT AUTO_INCREMENT PRIMARY KEY,
    team_id INT NOT NULL,
    full_name VARCHAR(80) NOT NULL,
    state ENUM('calm', 'busy', 'on leave') NOT NULL DEFAULT 'calm',
    skills SET('c', 'lisp', 'sql'),
    rate DECIMAL(4,2) CHECK (rate >= 0),
    active BOOLEAN NOT NULL DEFAULT TRUE,
    name_length INT AS (CHAR_LENGTH(full_name)) VIRTUAL,
    joined DATE NOT NULL DEFAULT (CURRENT_DATE),
    created DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    last_update TIMESTAMP NOT NULL DEFAULT CURRENT_TIMESTAMP ON UPDATE CURRENT_TIMESTAMP,
    badge BLOB,
    code NCHAR(3),
    FOREIGN KEY (team_id) REFERENCES team (team_id)
) CHARSET utf8mb4;
CREATE TABLE shift (member_id INT, day DATE, hours INT, PRIMARY KEY (member_id, day), FOREIGN KEY (member_id) REFERENCES member (member_id));
CREATE TABLE swap (member_id INT, day DATE, reason TEXT, FOREIGN KEY (member_id, day) REFERENCES shift (member_id, day));
CREATE TABLE place (name TEXT);
CREATE VIEW team_load AS SELECT t.name, COUNT(m.member_id) AS members, AVG(m.rate) * 2 AS double_rate
    FROM team t LEFT JOIN member m ON m.team_id = t.team_id GROUP BY t.name;
INSERT INTO team (name, motto) VALUES ('Core', 'Keep it simple'), ('Ops', 'Pager on');
INSERT INTO member (team_id, full_name, state, skills, rate, code) VALUES (1, 'Ada Byron', 'busy', 'c,lisp', 2.5, 'ADA');
INSERT INTO shift VALUES (1, '2024-01-02', 8);
INSERT INTO swap VALUES (1, '2024-01-02', 'dentist');
INSERT INTO place VALUES ('HQ');
