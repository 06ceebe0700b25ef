<?php
declare(strict_types=1);

/**
 * Uploaded files. A file is stored in uploads/ under a random name keeping only an allowed
 * extension; the column holds that name. The folder is never served directly: files go out
 * through the view page as attachments. A binary column holds the uploaded content itself.
 */

/** Extensions refused whatever the configuration says: anything a web server might run. */
const VM_UPLOAD_NEVER = ['php', 'php3', 'php4', 'php5', 'php7', 'php8', 'phtml', 'phar', 'pht', 'phps',
    'cgi', 'pl', 'py', 'sh', 'asp', 'aspx', 'jsp', 'htaccess', 'shtml', 'html', 'htm', 'svg', 'xhtml', 'js'];

function vm_is_upload_field(array $f): bool
{
    return $f['tag'] === 'FILE' || !empty($f['upload']) || $f['type'] === 'binary';
}

/** A binary column: the upload's content is stored in it, not a file name. */
function vm_is_blob_field(array $f): bool
{
    return $f['type'] === 'binary';
}

/** [size, first bytes] of a binary column as vm_sql_blob_summary reads it; null when empty. */
function vm_blob_summary(mixed $v): ?array
{
    if (!preg_match('/^([1-9]\d*):((?:[0-9a-fA-F]{2})*)$/D', vm_str($v), $m)) {
        return null;
    }
    return [(int) $m[1], (string) hex2bin($m[2])];
}

/** True when the row (as the runtime reads it) holds a file or content in the field. */
function vm_upload_stored(array $f, mixed $v): bool
{
    return vm_is_blob_field($f) ? vm_blob_summary($v) !== null : vm_str($v) !== '';
}

/** The raster image type of content by its first bytes: png, jpeg, gif, webp, or ''. */
function vm_image_type(string $head): string
{
    return match (true) {
        str_starts_with($head, "\x89PNG\r\n\x1a\n") => 'png',
        str_starts_with($head, "\xFF\xD8\xFF") => 'jpeg',
        str_starts_with($head, 'GIF87a'), str_starts_with($head, 'GIF89a') => 'gif',
        str_starts_with($head, 'RIFF') && substr($head, 8, 4) === 'WEBP' => 'webp',
        default => '',
    };
}

function vm_upload_dir(): string
{
    return VM_APP_DIR . '/uploads';
}

/** The path of a stored file, or null when the name is not one the runtime gives. */
function vm_upload_path(string $stored): ?string
{
    if (!preg_match('/^[a-f0-9]{32}(\.[a-z0-9]{1,10})?$/D', $stored)) {
        return null;
    }
    return vm_upload_dir() . '/' . $stored;
}

/**
 * The upload sent for a column: null when none, else [tmp path, extension] or a phrase id
 * (string) saying why it is refused.
 */
function vm_upload_received(string $col, ?array $files = null): array|string|null
{
    $files ??= $_FILES['vmfile'] ?? null;
    if (!is_array($files) || !isset($files['error'][$col]) || !is_int($files['error'][$col])) {
        return null;
    }
    $error = $files['error'][$col];
    if ($error === UPLOAD_ERR_NO_FILE) {
        return null;
    }
    if ($error === UPLOAD_ERR_INI_SIZE || $error === UPLOAD_ERR_FORM_SIZE) {
        return 'UploadTooLarge';
    }
    if ($error !== UPLOAD_ERR_OK) {
        return 'UploadFailed';
    }
    $tmp = (string) ($files['tmp_name'][$col] ?? '');
    $name = (string) ($files['name'][$col] ?? '');
    $size = (int) ($files['size'][$col] ?? 0);
    if ($tmp === '' || !is_uploaded_file($tmp)) {
        return 'UploadFailed';
    }
    $cfg = vm_config()['upload'];
    if ($size > (int) $cfg['max_size']) {
        return 'UploadTooLarge';
    }
    $ext = strtolower(pathinfo($name, PATHINFO_EXTENSION));
    $allowed = array_map(static fn($e) => strtolower(ltrim((string) $e, '.')), (array) $cfg['extensions']);
    if ($ext === '' || !preg_match('/^[a-z0-9]{1,10}$/D', $ext) || !in_array($ext, $allowed, true)
        || in_array($ext, VM_UPLOAD_NEVER, true)) {
        return 'UploadBadType';
    }
    return [$tmp, $ext];
}

/**
 * Puts accepted uploads into the values to store: a binary column gets the content (an open
 * stream, bound as a LOB), any other the name of the file stored in uploads/. Returns those
 * names, to remove when the save fails.
 */
function vm_upload_values(array $t, array $files, array &$store): array
{
    $stored = [];
    foreach ($files as $col => $got) {
        $f = $t['fields'][$col];
        // a field of several files holds their stored names separated by commas
        $list = is_array($got[0] ?? null) ? $got : [$got];
        $names = [];
        foreach ($list as [$tmp, $ext]) {
            if (is_array($f['form']['resize'] ?? null) && !vm_image_resize($tmp, $f['form']['resize'])) {
                error_log('velmora notice: php-gd is missing, uploaded images are kept at their size');
            }
            if (vm_is_blob_field($f)) {
                $store[$col] = fopen($tmp, 'rb') ?: throw new RuntimeException('cannot read an upload');
                continue 2;
            }
            $stored[] = $names[] = vm_upload_store($tmp, $ext);
        }
        $store[$col] = implode(',', $names);
    }
    return $stored;
}

/** Moves an accepted upload into uploads/; returns the stored name. */
function vm_upload_store(string $tmp, string $ext): string
{
    $dir = vm_upload_dir();
    if (!is_dir($dir) && !mkdir($dir, 0750, true) && !is_dir($dir)) {
        throw new RuntimeException('cannot create ' . $dir);
    }
    if (!is_file($dir . '/.htaccess')) {
        file_put_contents($dir . '/.htaccess', "Require all denied\n");
    }
    $stored = bin2hex(random_bytes(16)) . '.' . $ext;
    if (!move_uploaded_file($tmp, $dir . '/' . $stored)) {
        throw new RuntimeException('cannot store an upload');
    }
    chmod($dir . '/' . $stored, 0640);
    return $stored;
}

function vm_upload_remove(string $stored): void
{
    foreach (explode(',', $stored) as $name) {
        $path = vm_upload_path($name);
        if ($path !== null && is_file($path)) {
            unlink($path);
        }
    }
}
