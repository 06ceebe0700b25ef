-- The schema of the security tests; @ID@ is the dialect's auto-increment primary key.
CREATE TABLE userlevels (level_id INTEGER NOT NULL PRIMARY KEY, level_name VARCHAR(50) NOT NULL);
CREATE TABLE userlevelpermissions (table_name VARCHAR(255) NOT NULL, level_id INTEGER NOT NULL,
    permission INTEGER NOT NULL, PRIMARY KEY (table_name, level_id));
CREATE TABLE users (user_id @ID@, login VARCHAR(40) NOT NULL UNIQUE, password VARCHAR(255) NOT NULL,
    email VARCHAR(100), level_id INTEGER, active INTEGER DEFAULT 0 NOT NULL, full_name VARCHAR(80),
    parent_id INTEGER, profile TEXT);
CREATE TABLE notes (note_id @ID@, owner_id INTEGER, title VARCHAR(100) NOT NULL, body TEXT);
CREATE TABLE articles (article_id @ID@, title VARCHAR(100) NOT NULL);
CREATE TABLE audittrail (audit_id @ID@, audit_time VARCHAR(30), page VARCHAR(100), user_name VARCHAR(100),
    action VARCHAR(30), table_name VARCHAR(100), field_name VARCHAR(100), key_value VARCHAR(100),
    old_value TEXT, new_value TEXT);
INSERT INTO userlevels VALUES (-1, 'Administrator');
INSERT INTO userlevels VALUES (0, 'Default');
INSERT INTO userlevels VALUES (1, 'Editor');
INSERT INTO userlevels VALUES (2, 'Reader');
-- editor: everything on articles, notes without export; reader: list and view of articles
INSERT INTO userlevelpermissions VALUES ('articles', 1, 239);
INSERT INTO userlevelpermissions VALUES ('notes', 1, 111);
INSERT INTO userlevelpermissions VALUES ('articles', 2, 40);
INSERT INTO users (login, password, email, level_id, active, full_name) VALUES ('admin', '@PW@', 'admin@example.com', -1, 1, 'Ada Admin');
INSERT INTO users (login, password, email, level_id, active, full_name) VALUES ('editor', '@PW@', 'editor@example.com', 1, 1, 'Ed Editor');
INSERT INTO users (login, password, email, level_id, active, full_name) VALUES ('reader', '@PW@', 'reader@example.com', 2, 1, 'Rea Reader');
-- the intern works for the editor: the editor keeps the intern's notes too
INSERT INTO users (login, password, email, level_id, active, full_name, parent_id) VALUES ('intern', '@PW@', 'intern@example.com', 1, 1, 'Ian Intern', 2);
INSERT INTO notes (owner_id, title) VALUES (2, 'Editor note');
INSERT INTO notes (owner_id, title) VALUES (3, 'Reader note');
INSERT INTO articles (title) VALUES ('First article');
INSERT INTO articles (title) VALUES ('Second article');
INSERT INTO notes (owner_id, title) VALUES (4, 'Intern note');
