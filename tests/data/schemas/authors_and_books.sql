CREATE TABLE author (id INTEGER PRIMARY KEY, name VARCHAR(60) NOT NULL);
CREATE TABLE book (id INTEGER PRIMARY KEY, author_id INTEGER REFERENCES author (id), title VARCHAR(200) NOT NULL,
                   price NUMERIC(8,2), qty INTEGER);
INSERT INTO author VALUES (1, 'Ada'), (2, 'Grace');
INSERT INTO book VALUES (1, 1, 'Notes', 12.5, 3), (2, 2, 'Compilers', 30, 1), (3, 2, 'Cobol', 20, 5);
