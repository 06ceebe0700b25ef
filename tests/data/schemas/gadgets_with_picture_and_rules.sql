DROP TABLE IF EXISTS vm_gadgets;
CREATE TABLE vm_gadgets (
    id @ID@,
    name VARCHAR(10) NOT NULL,
    code VARCHAR(10) UNIQUE,
    qty INTEGER,
    price NUMERIC(4,2),
    picture @BLOB@,
    CONSTRAINT qty_not_negative CHECK (qty >= 0)
);
