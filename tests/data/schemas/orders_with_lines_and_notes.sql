CREATE TABLE md_orders (id @ID@, name VARCHAR(20) NOT NULL);
CREATE TABLE md_lines (id @ID@, order_id INTEGER NOT NULL, item VARCHAR(20) NOT NULL, qty INTEGER NOT NULL,
    CONSTRAINT qty_positive CHECK (qty > 0), FOREIGN KEY (order_id) REFERENCES md_orders (id));
CREATE TABLE md_notes (id @ID@, order_id INTEGER NOT NULL, note VARCHAR(40),
    FOREIGN KEY (order_id) REFERENCES md_orders (id));
INSERT INTO md_orders (name) VALUES ('first');
INSERT INTO md_orders (name) VALUES ('second');
INSERT INTO md_lines (order_id, item, qty) VALUES (1, 'a', 1), (1, 'b', 2), (1, 'c', 3), (2, 'd', 4);
INSERT INTO md_notes (order_id, note) VALUES (1, 'hello');
