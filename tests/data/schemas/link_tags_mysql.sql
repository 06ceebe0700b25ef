DROP TABLE IF EXISTS vm_link_tags;
CREATE TABLE vm_link_tags (id INT AUTO_INCREMENT PRIMARY KEY, label VARCHAR(40) NOT NULL) CHARSET utf8mb4;
INSERT INTO vm_link_tags (label) VALUES ('Küche');
