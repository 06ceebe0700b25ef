DROP TABLE IF EXISTS vm_sync_book;
CREATE TABLE vm_sync_book (id INTEGER PRIMARY KEY, title VARCHAR(100) NOT NULL, qty INTEGER, legacy VARCHAR(10));
INSERT INTO vm_sync_book VALUES (1, 'Notes', 3, 'x');
