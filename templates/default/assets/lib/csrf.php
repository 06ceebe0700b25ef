<?php
declare(strict_types=1);

/** The CSRF token: one random value per session, sent with every form, checked on every POST. */

function vm_csrf_token(): string
{
    if (!isset($_SESSION['vm_csrf']) || !is_string($_SESSION['vm_csrf']) || strlen($_SESSION['vm_csrf']) !== 64) {
        $_SESSION['vm_csrf'] = bin2hex(random_bytes(32));
    }
    return $_SESSION['vm_csrf'];
}

/** The hidden input carrying the token. */
function vm_csrf_field(): string
{
    return '<input type="hidden" name="_csrf" value="' . vm_h(vm_csrf_token()) . '">';
}

function vm_csrf_valid(): bool
{
    $sent = vm_post('_csrf');
    $own = $_SESSION['vm_csrf'] ?? '';
    return is_string($own) && $own !== '' && $sent !== '' && hash_equals($own, $sent);
}

/** A fresh token, after the user changes (login). */
function vm_csrf_renew(): void
{
    $_SESSION['vm_csrf'] = bin2hex(random_bytes(32));
}
