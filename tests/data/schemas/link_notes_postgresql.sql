DROP TABLE IF EXISTS vm_link_notes;
CREATE TABLE vm_link_notes (id serial PRIMARY KEY, body varchar(80) NOT NULL);
INSERT INTO vm_link_notes (body) VALUES ('Grüße');
