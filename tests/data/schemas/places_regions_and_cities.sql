CREATE TABLE region (id INTEGER PRIMARY KEY, name VARCHAR(40) NOT NULL);
CREATE TABLE city (id INTEGER PRIMARY KEY, region_id INTEGER NOT NULL, name VARCHAR(40) NOT NULL);
CREATE TABLE place (id INTEGER PRIMARY KEY AUTOINCREMENT, name VARCHAR(40) NOT NULL, qty INTEGER,
    region_id INTEGER, city_id INTEGER, note VARCHAR(80));
INSERT INTO region VALUES (1, 'North'), (2, 'South');
INSERT INTO city VALUES (1, 1, 'Oslo'), (2, 1, 'Bergen'), (3, 2, 'Rome');
INSERT INTO place (name, qty, region_id, city_id) VALUES ('Alpha', 3, 1, 1), ('Beta', 7, 2, 3), ('Gamma', 12, 1, 2);
