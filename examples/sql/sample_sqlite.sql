-- Velmora sample shop schema, SQLite dialect.
-- Customers, products, orders and their lines, warehouses and reviews: composite and single
-- keys, unique indexes, foreign keys, a view, literal and expression defaults, rowid
-- auto-increment keys and names with blanks, quotes, brackets and non-ASCII letters.
-- Load it into a new file:
--   sqlite3 sample.db < sample_sqlite.sql

PRAGMA foreign_keys = ON;

CREATE TABLE categories (
    category_id INTEGER PRIMARY KEY AUTOINCREMENT,
    name VARCHAR(50) NOT NULL,
    description TEXT
);
CREATE UNIQUE INDEX categories_name_idx ON categories (name);

CREATE TABLE suppliers (
    supplier_id INTEGER PRIMARY KEY,
    company VARCHAR(80) NOT NULL,
    city VARCHAR(60) DEFAULT 'L''Aquila',
    phone CHAR(20),
    CONSTRAINT suppliers_company_key UNIQUE (company)
);

CREATE TABLE customers (
    customer_id INTEGER PRIMARY KEY AUTOINCREMENT,
    email VARCHAR(120) NOT NULL,
    first_name VARCHAR(40),
    last_name VARCHAR(40) NOT NULL,
    city VARCHAR(60) DEFAULT 'L''Aquila',
    birth_date DATE,
    is_active BOOLEAN NOT NULL DEFAULT 1,
    credit_limit DECIMAL(10,2) DEFAULT 500,
    created_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    external_id UUID
);
CREATE UNIQUE INDEX customers_email_idx ON customers (email);
-- Unique as a pair only: neither column is unique on its own.
CREATE UNIQUE INDEX customers_name_idx ON customers (last_name, first_name, birth_date);

CREATE TABLE products (
    product_id INTEGER PRIMARY KEY AUTOINCREMENT,
    sku VARCHAR(20) NOT NULL UNIQUE,
    name VARCHAR(100) NOT NULL,
    category_id INTEGER REFERENCES categories (category_id),
    supplier_id INTEGER REFERENCES suppliers (supplier_id),
    supplier_code VARCHAR(30),
    price DECIMAL(10,2) NOT NULL DEFAULT 0,
    weight_kg REAL,
    stock_level SMALLINT DEFAULT 0,
    discontinued BOOLEAN NOT NULL DEFAULT 0,
    description TEXT,
    photo BLOB,
    UNIQUE (supplier_id, supplier_code)
);

CREATE TABLE employees (
    employee_id INTEGER PRIMARY KEY,
    full_name VARCHAR(80) NOT NULL,
    manager_id INTEGER REFERENCES employees (employee_id),
    hired_on DATE NOT NULL DEFAULT CURRENT_DATE,
    shift_start TIME DEFAULT '08:00',
    salary NUMERIC(12,2),
    notes TEXT
);

CREATE TABLE orders (
    order_id INTEGER PRIMARY KEY AUTOINCREMENT,
    customer_id INTEGER NOT NULL REFERENCES customers (customer_id),
    employee_id INTEGER REFERENCES employees (employee_id),
    ordered_at DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP,
    ship_date DATE,
    ship_time TIME,
    status VARCHAR(20) NOT NULL DEFAULT 'new'
        CHECK (status IN ('new', 'paid', 'shipped', 'cancelled')),
    total DECIMAL(10,2) NOT NULL DEFAULT 0,
    freight DOUBLE DEFAULT 0,
    comment TEXT
);

CREATE TABLE order_items (
    order_id INTEGER NOT NULL REFERENCES orders (order_id) ON DELETE CASCADE,
    line_no SMALLINT NOT NULL,
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    quantity INTEGER NOT NULL DEFAULT 1,
    unit_price DECIMAL(10,2) NOT NULL,
    PRIMARY KEY (order_id, line_no)
);

CREATE TABLE warehouses (
    warehouse_id INTEGER PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    location TEXT,
    opened_on DATE
);

CREATE TABLE stock (
    warehouse_id INTEGER NOT NULL REFERENCES warehouses (warehouse_id),
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    quantity INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY (warehouse_id, product_id)
);

CREATE TABLE "Käufer Bewertungen" (
    "Bewertung Nr" INTEGER PRIMARY KEY AUTOINCREMENT,
    product_id INTEGER NOT NULL REFERENCES products (product_id),
    "Sterne" SMALLINT NOT NULL CHECK ("Sterne" BETWEEN 1 AND 5),
    "Kommentar ""kurz""" VARCHAR(200),
    "Datum [UTC]" DATETIME DEFAULT CURRENT_TIMESTAMP
);

CREATE VIEW order_summary AS
    SELECT o.order_id, c.last_name, o.ordered_at, count(i.line_no) AS lines,
           sum(i.quantity * i.unit_price) AS amount
    FROM orders o
    JOIN customers c ON c.customer_id = o.customer_id
    LEFT JOIN order_items i ON i.order_id = o.order_id
    GROUP BY o.order_id, c.last_name, o.ordered_at;

INSERT INTO categories (name, description) VALUES
    ('Tea', 'Loose leaf and bagged tea'),
    ('Coffee', 'Beans and ground coffee'),
    ('Crockery', 'Cups, pots and saucers');

INSERT INTO suppliers (company, city, phone) VALUES
    ('Leaf & Co', 'Darjeeling', '+91 354 225 0000');
INSERT INTO suppliers (company, phone) VALUES
    ('Bottega del Caffè', '+39 0862 000 000');

INSERT INTO customers (email, first_name, last_name, city, birth_date, credit_limit) VALUES
    ('ann@example.org', 'Ann', 'O''Neil', 'Dublin', '1980-04-12', 1000),
    ('li@example.org', 'Li', 'Wei', 'Shanghai', NULL, 250.50);
INSERT INTO customers (email, first_name, last_name, birth_date) VALUES
    ('joerg@example.org', 'Jörg', 'Größer', '1975-11-30');

INSERT INTO products (sku, name, category_id, supplier_id, supplier_code, price, weight_kg, description) VALUES
    ('T-001', 'Assam Breakfast', 1, 1, 'AS-1', 6.50, 0.25, 'Strong, malty black tea.'),
    ('T-002', 'Darjeeling First Flush', 1, 1, 'DF-1', 12.90, 0.1, NULL),
    ('C-001', 'Espresso Roast', 2, 2, 'ER-500', 9.80, 0.5, 'Dark roast, 500 g.'),
    ('K-001', 'Tea Pot "Classic"', 3, NULL, NULL, 24.00, 1.2, NULL);

INSERT INTO employees (full_name, manager_id, hired_on, salary) VALUES
    ('Maria Rossi', NULL, '2015-03-01', 4200),
    ('Tom Baker', 1, '2019-09-16', 3100);

INSERT INTO orders (customer_id, employee_id, ordered_at, ship_date, ship_time, status, total) VALUES
    (1, 2, '2024-01-15 10:30:00', '2024-01-17', '14:00', 'shipped', 25.80),
    (3, 2, '2024-02-02 16:05:00', NULL, NULL, 'new', 9.80);

INSERT INTO order_items (order_id, line_no, product_id, quantity, unit_price) VALUES
    (1, 1, 1, 2, 6.50),
    (1, 2, 2, 1, 12.80),
    (2, 1, 3, 1, 9.80);

INSERT INTO warehouses (name, location, opened_on) VALUES
    ('Nord', '53.55,9.99', '2010-05-01'),
    ('Süd', '48.14,11.58', '2018-10-15');

INSERT INTO stock (warehouse_id, product_id, quantity) VALUES
    (1, 1, 40),
    (1, 3, 12),
    (2, 4, 3);

INSERT INTO "Käufer Bewertungen" (product_id, "Sterne", "Kommentar ""kurz""") VALUES
    (1, 5, 'Sehr gut, "kräftig"'),
    (4, 3, NULL);
