-- The demo shop: categories, products, customers, employees, orders and order lines.
-- SQLite dialect. Rows are produced by recursive queries, so the data is the same on every run
-- and there are enough of them to page through.
--   sqlite3 shop.db < shop.sql

PRAGMA foreign_keys = ON;

CREATE TABLE categories (
    category_id INTEGER PRIMARY KEY AUTOINCREMENT,
    name VARCHAR(50) NOT NULL UNIQUE,
    description TEXT
);

CREATE TABLE products (
    product_id INTEGER PRIMARY KEY AUTOINCREMENT,
    name VARCHAR(100) NOT NULL,
    category_id INTEGER NOT NULL REFERENCES categories (category_id),
    unit_price DECIMAL(10,2) NOT NULL DEFAULT 0,
    units_in_stock INTEGER NOT NULL DEFAULT 0,
    discontinued BOOLEAN NOT NULL DEFAULT 0,
    photo VARCHAR(255)
);

CREATE TABLE customers (
    customer_id INTEGER PRIMARY KEY AUTOINCREMENT,
    first_name VARCHAR(40) NOT NULL,
    last_name VARCHAR(40) NOT NULL,
    email VARCHAR(120) NOT NULL UNIQUE,
    phone VARCHAR(30),
    city VARCHAR(60),
    country VARCHAR(60) NOT NULL DEFAULT 'Italy',
    joined DATE
);

-- Employees log in to the application: `login` and a password hash made by PHP's password_hash.
CREATE TABLE employees (
    employee_id INTEGER PRIMARY KEY AUTOINCREMENT,
    first_name VARCHAR(40) NOT NULL,
    last_name VARCHAR(40) NOT NULL,
    title VARCHAR(60),
    login VARCHAR(30) NOT NULL UNIQUE,
    password VARCHAR(255) NOT NULL,
    hire_date DATE
);

CREATE TABLE orders (
    order_id INTEGER PRIMARY KEY AUTOINCREMENT,
    customer_id INTEGER NOT NULL REFERENCES customers (customer_id),
    employee_id INTEGER REFERENCES employees (employee_id),
    order_date DATE NOT NULL,
    status VARCHAR(20) NOT NULL DEFAULT 'new',
    notes TEXT
);

CREATE TABLE order_lines (
    line_id INTEGER PRIMARY KEY AUTOINCREMENT,
    order_id INTEGER NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    quantity INTEGER NOT NULL DEFAULT 1,
    unit_price DECIMAL(10,2) NOT NULL
);

INSERT INTO categories (name, description) VALUES
    ('Beverages', 'Coffee, tea, juices and soft drinks'),
    ('Bakery', 'Bread, biscuits and pastries'),
    ('Dairy', 'Cheese, milk, butter and yoghurt'),
    ('Pantry', 'Pasta, rice, flour and preserves'),
    ('Produce', 'Fresh fruit and vegetables'),
    ('Seafood', 'Fresh and preserved fish'),
    ('Meat', 'Fresh and cured meat'),
    ('Sweets', 'Chocolate, honey and sweets');

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 48)
INSERT INTO products (name, category_id, unit_price, units_in_stock, discontinued)
SELECT (SELECT name FROM categories WHERE category_id = 1 + (i - 1) % 8) || ' item ' || printf('%02d', i),
       1 + (i - 1) % 8,
       round(1.5 + (i * 37 % 200) / 4.0, 2),
       (i * 13) % 120,
       CASE WHEN i % 11 = 0 THEN 1 ELSE 0 END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 75),
first(k, name) AS (VALUES (0, 'Anna'), (1, 'Marco'), (2, 'Giulia'), (3, 'Luca'), (4, 'Sofia'),
                          (5, 'Paolo'), (6, 'Elena'), (7, 'Jörg'), (8, 'Chloé'), (9, 'Sean')),
last(k, name) AS (VALUES (0, 'Rossi'), (1, 'Bianchi'), (2, 'Ferrari'), (3, 'Esposito'), (4, 'Romano'),
                         (5, 'Colombo'), (6, 'Ricci'), (7, 'Müller'), (8, 'O''Brien'), (9, 'Martin'),
                         (10, 'Greco'), (11, 'Conti'), (12, 'Gallo')),
city(k, name, country) AS (VALUES (0, 'Rome', 'Italy'), (1, 'Milan', 'Italy'), (2, 'Turin', 'Italy'),
                                  (3, 'Berlin', 'Germany'), (4, 'Lyon', 'France'), (5, 'Dublin', 'Ireland'))
INSERT INTO customers (first_name, last_name, email, phone, city, country, joined)
SELECT first.name, last.name,
       lower(replace(first.name || '.' || last.name, '''', '')) || i || '@example.com',
       '+39 06 ' || printf('%07d', i * 7919 % 10000000),
       city.name, city.country,
       date('2023-01-01', '+' || (i * 9) || ' days')
FROM n
JOIN first ON first.k = i % 10
JOIN last ON last.k = i % 13
JOIN city ON city.k = i % 6;

-- Password "demo" for every employee.
INSERT INTO employees (first_name, last_name, title, login, password, hire_date) VALUES
    ('Laura', 'Neri', 'Manager', 'laura', '$2y$10$Oqsgl5uEBj7.e9STBhA7mu262tnp09/k8z94VKCuKhODydZpMx.fy', '2019-03-01'),
    ('Davide', 'Fontana', 'Sales', 'davide', '$2y$10$Oqsgl5uEBj7.e9STBhA7mu262tnp09/k8z94VKCuKhODydZpMx.fy', '2020-06-15'),
    ('Chiara', 'Moretti', 'Sales', 'chiara', '$2y$10$Oqsgl5uEBj7.e9STBhA7mu262tnp09/k8z94VKCuKhODydZpMx.fy', '2021-09-01'),
    ('Tom', 'Walsh', 'Warehouse', 'tom', '$2y$10$Oqsgl5uEBj7.e9STBhA7mu262tnp09/k8z94VKCuKhODydZpMx.fy', '2022-01-10');

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 120)
INSERT INTO orders (customer_id, employee_id, order_date, status, notes)
SELECT 1 + (i * 17) % 75,
       1 + i % 4,
       date('2024-01-01', '+' || (i * 3) || ' days'),
       CASE i % 4 WHEN 0 THEN 'new' WHEN 1 THEN 'paid' WHEN 2 THEN 'shipped' ELSE 'delivered' END,
       CASE WHEN i % 5 = 0 THEN 'Leave at the door' END
FROM n;

WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300)
INSERT INTO order_lines (order_id, product_id, quantity, unit_price)
SELECT 1 + (i - 1) / 3 % 120,
       1 + (i * 7) % 48,
       1 + i % 5,
       (SELECT unit_price FROM products WHERE product_id = 1 + (i * 7) % 48)
FROM n;
