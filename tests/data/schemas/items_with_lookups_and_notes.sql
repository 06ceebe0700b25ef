DROP TABLE IF EXISTS item;
DROP TABLE IF EXISTS note;
DROP TABLE IF EXISTS city;
DROP TABLE IF EXISTS region;
DROP TABLE IF EXISTS tag;
CREATE TABLE region (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL);
CREATE TABLE city (id INTEGER PRIMARY KEY, region_id INTEGER NOT NULL, name VARCHAR(40) NOT NULL, zip VARCHAR(10));
CREATE TABLE tag (id @ID@, name VARCHAR(40) NOT NULL);
CREATE TABLE item (id @ID@, code VARCHAR(10) NOT NULL, qty INTEGER, email VARCHAR(80), region_id INTEGER,
    city_id INTEGER, zip VARCHAR(10), tags VARCHAR(100), changed DATE, photos VARCHAR(400));
CREATE TABLE note (id @ID@, title VARCHAR(40) NOT NULL, body TEXT, extra VARCHAR(40), due DATE, code VARCHAR(10) DEFAULT 'N1');
INSERT INTO region VALUES (1, 'North'), (2, 'South');
INSERT INTO city VALUES (1, 1, 'Oslo', '0150'), (2, 1, 'Bergen', '5003'), (3, 2, 'Rome', '00100');
INSERT INTO tag (name) VALUES ('red'), ('green');
