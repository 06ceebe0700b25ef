DROP TABLE IF EXISTS items;
DROP TABLE IF EXISTS notes;
CREATE TABLE items (id @ID@, name VARCHAR(40) NOT NULL, code VARCHAR(10) UNIQUE, price NUMERIC(10,2),
    qty INTEGER CHECK (qty >= 0), site VARCHAR(80));
CREATE TABLE notes (id @ID@, title VARCHAR(40) NOT NULL);
INSERT INTO items (name, code, price, qty, site) VALUES
    ('Item 01', 'C1', -8.5, 1, 'https://example.com/1'),
    ('Item 02', 'C2', -7.0, 2, 'https://example.com/2'),
    ('Item 03', 'C3', -5.5, 3, 'https://example.com/3'),
    ('Item 04', 'C4', -4.0, 0, 'https://example.com/4'),
    ('Item 05', 'C5', -2.5, 1, 'https://example.com/5'),
    ('Item 06', 'C6', -1.0, 2, 'https://example.com/6'),
    ('Item 07', 'C7', 0.5, 3, 'https://example.com/7'),
    ('Item 08', 'C8', 2.0, 0, 'https://example.com/8'),
    ('Item 09', 'C9', 3.5, 1, 'https://example.com/9'),
    ('Item 10', 'C10', 5.0, 2, 'https://example.com/10'),
    ('Item 11', 'C11', 6.5, 3, 'https://example.com/11'),
    ('Item 12', 'C12', 8.0, 0, 'https://example.com/12'),
    ('Item 13', 'C13', 9.5, 1, 'https://example.com/13'),
    ('Item 14', 'C14', 11.0, 2, 'https://example.com/14'),
    ('Item 15', 'C15', 12.5, 3, 'https://example.com/15'),
    ('Item 16', 'C16', 14.0, 0, 'https://example.com/16'),
    ('Item 17', 'C17', 15.5, 1, 'https://example.com/17'),
    ('Item 18', 'C18', 17.0, 2, 'https://example.com/18'),
    ('Item 19', 'C19', 18.5, 3, 'https://example.com/19'),
    ('Item 20', 'C20', 20.0, 0, 'https://example.com/20'),
    ('Item 21', 'C21', 21.5, 1, 'https://example.com/21'),
    ('Item 22', 'C22', 23.0, 2, 'https://example.com/22'),
    ('Item 23', 'C23', 24.5, 3, 'https://example.com/23'),
    ('Item 24', 'C24', 26.0, 0, 'https://example.com/24'),
    ('Item 25', 'C25', 27.5, 1, 'https://example.com/25'),
    ('Item 26', 'C26', 29.0, 2, 'https://example.com/26'),
    ('Item 27', 'C27', 30.5, 3, 'https://example.com/27'),
    ('Item 28', 'C28', 32.0, 0, 'https://example.com/28'),
    ('Item 29', 'C29', 33.5, 1, 'https://example.com/29'),
    ('Item 30', 'C30', 35.0, 2, 'https://example.com/30');
INSERT INTO notes (title) VALUES ('alpha'), ('beta'), ('gamma');
