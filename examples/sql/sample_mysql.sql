-- Velmora sample shop schema, MySQL/MariaDB dialect.
-- Customers, products, orders and their lines, warehouses and reviews: composite and single
-- keys, unique indexes, foreign keys, a view, literal and expression defaults, auto-increment
-- columns, ENUM and SET, a type the generator does not handle (point) and names with blanks,
-- quotes, brackets and non-ASCII letters. Load it into an empty utf8mb4 database:
--   mysql --default-character-set=utf8mb4 velmora_sample < sample_mysql.sql

CREATE TABLE categories (
    category_id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name varchar(50) NOT NULL,
    description text,
    UNIQUE INDEX categories_name_idx (name)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE suppliers (
    supplier_id int unsigned NOT NULL AUTO_INCREMENT PRIMARY KEY,
    company varchar(80) NOT NULL,
    city varchar(60) DEFAULT 'L''Aquila',
    phone char(20),
    CONSTRAINT suppliers_company_key UNIQUE (company)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE customers (
    customer_id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    email varchar(120) NOT NULL,
    first_name varchar(40),
    last_name varchar(40) NOT NULL,
    city varchar(60) DEFAULT 'L''Aquila',
    birth_date date,
    is_active boolean NOT NULL DEFAULT true,
    credit_limit decimal(10,2) DEFAULT 500,
    created_at timestamp NOT NULL DEFAULT CURRENT_TIMESTAMP,
    newsletter bit(1) NOT NULL DEFAULT b'0',
    UNIQUE INDEX customers_email_idx (email),
    -- Unique as a pair only: neither column is unique on its own.
    UNIQUE INDEX customers_name_idx (last_name, first_name, birth_date)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE products (
    product_id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    sku varchar(20) NOT NULL UNIQUE,
    name varchar(100) NOT NULL,
    category_id int,
    supplier_id int unsigned,
    supplier_code varchar(30),
    price decimal(10,2) NOT NULL DEFAULT 0,
    weight_kg float,
    stock_level smallint DEFAULT 0,
    discontinued boolean NOT NULL DEFAULT false,
    labels set('new','sale','organic','kids'' choice'),
    description longtext,
    photo longblob,
    UNIQUE (supplier_id, supplier_code),
    FOREIGN KEY (category_id) REFERENCES categories (category_id),
    FOREIGN KEY (supplier_id) REFERENCES suppliers (supplier_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE employees (
    employee_id bigint NOT NULL AUTO_INCREMENT PRIMARY KEY,
    full_name varchar(80) NOT NULL,
    manager_id bigint,
    hired_on date NOT NULL DEFAULT (CURRENT_DATE),
    shift_start time DEFAULT '08:00:00',
    salary numeric(12,2),
    notes mediumtext,
    FOREIGN KEY (manager_id) REFERENCES employees (employee_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE orders (
    order_id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    customer_id int NOT NULL,
    employee_id bigint,
    ordered_at datetime NOT NULL DEFAULT CURRENT_TIMESTAMP,
    ship_date date,
    ship_time time,
    status enum('new','paid','shipped','cancelled') NOT NULL DEFAULT 'new',
    total decimal(10,2) NOT NULL DEFAULT 0,
    freight double DEFAULT 0,
    comment text,
    FOREIGN KEY (customer_id) REFERENCES customers (customer_id),
    FOREIGN KEY (employee_id) REFERENCES employees (employee_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE order_items (
    order_id int NOT NULL,
    line_no smallint NOT NULL,
    product_id int NOT NULL,
    quantity int NOT NULL DEFAULT 1,
    unit_price decimal(10,2) NOT NULL,
    PRIMARY KEY (order_id, line_no),
    FOREIGN KEY (order_id) REFERENCES orders (order_id) ON DELETE CASCADE,
    FOREIGN KEY (product_id) REFERENCES products (product_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE warehouses (
    warehouse_id int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    name varchar(60) NOT NULL,
    location point,
    opened_on year,
    code binary(4),
    checksum varbinary(32)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE stock (
    warehouse_id int NOT NULL,
    product_id int NOT NULL,
    quantity int NOT NULL DEFAULT 0,
    reorder_level tinyint unsigned DEFAULT 5,
    PRIMARY KEY (warehouse_id, product_id),
    FOREIGN KEY (warehouse_id) REFERENCES warehouses (warehouse_id),
    FOREIGN KEY (product_id) REFERENCES products (product_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE `Käufer Bewertungen` (
    `Bewertung Nr` int NOT NULL AUTO_INCREMENT PRIMARY KEY,
    product_id int NOT NULL,
    `Sterne` tinyint NOT NULL,
    `Kommentar "kurz"` varchar(200),
    `Datum [UTC]` datetime DEFAULT CURRENT_TIMESTAMP,
    FOREIGN KEY (product_id) REFERENCES products (product_id)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE VIEW order_summary AS
    SELECT o.order_id, c.last_name, o.ordered_at, count(i.line_no) AS line_count,
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
    ('Leaf & Co', 'Darjeeling', '+91 354 225 0000'),
    ('Bottega del Caffè', DEFAULT, '+39 0862 000 000');

INSERT INTO customers (email, first_name, last_name, city, birth_date, credit_limit) VALUES
    ('ann@example.org', 'Ann', 'O''Neil', 'Dublin', '1980-04-12', 1000),
    ('joerg@example.org', 'Jörg', 'Größer', 'Köln', '1975-11-30', DEFAULT),
    ('li@example.org', 'Li', 'Wei', DEFAULT, NULL, 250.50);

INSERT INTO products (sku, name, category_id, supplier_id, supplier_code, price, weight_kg, labels, description) VALUES
    ('T-001', 'Assam Breakfast', 1, 1, 'AS-1', 6.50, 0.25, 'organic', 'Strong, malty black tea.'),
    ('T-002', 'Darjeeling First Flush', 1, 1, 'DF-1', 12.90, 0.1, 'new,sale', NULL),
    ('C-001', 'Espresso Roast', 2, 2, 'ER-500', 9.80, 0.5, '', 'Dark roast, 500 g.'),
    ('K-001', 'Tea Pot "Classic"', 3, NULL, NULL, 24.00, 1.2, 'kids'' choice', NULL);

INSERT INTO employees (full_name, manager_id, hired_on, salary) VALUES
    ('Maria Rossi', NULL, '2015-03-01', 4200),
    ('Tom Baker', 1, '2019-09-16', 3100);

INSERT INTO orders (customer_id, employee_id, ordered_at, ship_date, ship_time, status, total) VALUES
    (1, 2, '2024-01-15 10:30:00', '2024-01-17', '14:00', 'shipped', 25.80),
    (2, 2, '2024-02-02 16:05:00', NULL, NULL, 'new', 9.80);

INSERT INTO order_items (order_id, line_no, product_id, quantity, unit_price) VALUES
    (1, 1, 1, 2, 6.50),
    (1, 2, 2, 1, 12.80),
    (2, 1, 3, 1, 9.80);

INSERT INTO warehouses (name, location, opened_on, code) VALUES
    ('Nord', POINT(53.55, 9.99), 2010, 'HH01'),
    ('Süd', POINT(48.14, 11.58), 2018, 'MU01');

INSERT INTO stock (warehouse_id, product_id, quantity) VALUES
    (1, 1, 40),
    (1, 3, 12),
    (2, 4, 3);

INSERT INTO `Käufer Bewertungen` (product_id, `Sterne`, `Kommentar "kurz"`) VALUES
    (1, 5, 'Sehr gut, "kräftig"'),
    (4, 3, NULL);
