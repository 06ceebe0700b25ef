ALTER TABLE vm_sync_book RENAME COLUMN qty TO quantity;
ALTER TABLE vm_sync_book ADD COLUMN isbn VARCHAR(20);
ALTER TABLE vm_sync_book DROP COLUMN legacy;
