<?php
declare(strict_types=1);

/**
 * The user's own account: registration, a forgotten password (a reset link by e-mail, never a
 * password), changing the password and the e-mail address, and the captcha image.
 */

require_once VM_LIB_DIR . '/pages/edit.php';
require_once VM_LIB_DIR . '/audit.php';
require_once VM_LIB_DIR . '/mail.php';

/** How long the links sent by e-mail work, in seconds. */
const VM_LINK_RESET = 3600;
const VM_LINK_REGISTER = 2 * 86400;
const VM_LINK_EMAIL = 86400;

/** The user table's description, its login and password fields made text and password inputs. */
function vm_user_table(): array
{
    $s = vm_config()['security'];
    $t = $s['type'] === 'table' ? vm_table_ref($s['table']) : null;
    if ($t === null || !isset($t['fields'][$s['login_field']], $t['fields'][$s['password_field']])) {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $t['fields'][$s['password_field']]['tag'] = 'PASSWORD';
    $t['fields'][$s['login_field']]['required'] = true;
    return $t;
}

/** A small form of the account pages: fields are [name, label phrase, input type, value, autocomplete]. */
function vm_account_form(string $action, array $fields, string $button, bool $captcha, string $message = '',
    string $info = ''): void
{
    if ($message !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_h($message), "</p>\n";
    }
    if ($info !== '') {
        echo '<p class="vm-message">', vm_h($info), "</p>\n";
    }
    echo '<form method="post" action="', vm_h($action), '" class="vm-form">', vm_csrf_field(), "\n";
    foreach ($fields as [$name, $label, $type, $value, $autocomplete]) {
        echo '<div class="vm-field"><label for="', vm_h($name), '">', vm_ph($label), '</label><div class="vm-control">',
            '<input type="', $type, '" id="', vm_h($name), '" name="', vm_h($name), '" value="',
            $type === 'password' ? '' : vm_h($value), '" autocomplete="', $autocomplete, "\" required></div></div>\n";
    }
    echo $captcha ? vm_captcha_field() : '', '<div class="vm-buttons"><button type="submit">', vm_ph($button),
        "</button></div></form>\n";
}

/** A page that mails needs the mail library: without it, the page says what to install. */
function vm_account_needs_mail(): void
{
    if (!vm_library('phpmailer')) {
        vm_library_missing_page('phpmailer');
    }
}

/** Sends a message to one user; false (logged) when it could not be sent. */
function vm_account_mail(string $to, string $subjectId, string $bodyId, array $values): bool
{
    $values += ['app' => (string) vm_config()['name']];
    return vm_mail_send([$to], vm_phrase_fill($subjectId, $values), vm_phrase_fill($bodyId, $values));
}

/** The message for a new password and its repetition, or null when both are fine. */
function vm_new_password_problem(string $password, string $again): ?string
{
    if ($password !== $again) {
        return vm_phrase('PasswordsDiffer');
    }
    return vm_password_problem($password);
}

// ---------------------------------------------------------------- registration

function vm_page_register(): void
{
    $s = vm_config()['security'];
    $t = vm_user_table();
    if (vm_get('token') !== '') {
        vm_register_confirm($t, vm_get('token'));
    }
    if ($s['register']['email'] || ($s['register']['confirm'] && $s['activate_field'] !== '')) {
        vm_account_needs_mail();
    }
    $protected = vm_protected_columns($t);
    $cols = [$s['login_field'], $s['password_field']];
    if ($s['email_field'] !== '' && isset($t['fields'][$s['email_field']])) {
        $cols[] = $s['email_field'];
        $t['fields'][$s['email_field']]['required'] = true;
        $t['fields'][$s['email_field']]['validate'] = 'email';
    }
    foreach ($t['fields'] as $col => $f) {
        if (!empty($f['register']) && !$f['autoinc'] && $f['expr'] === '' && !in_array($col, $cols, true)) {
            $cols[] = (string) $col;
        }
    }
    $cols = array_values(array_filter($cols, static fn($c) => !in_array($c, $protected, true)));
    $values = [];
    $errors = [];
    $message = '';
    if (vm_method() === 'POST') {
        [$values, $store, $errors, $files] = vm_form_read($t, $cols, 'add', null);
        $typed = $_POST['f'][$s['password_field']] ?? '';
        if (!isset($errors[$s['password_field']]) && (!is_string($typed) || $typed !== vm_post('password2'))) {
            $errors[$s['password_field']] = vm_phrase('PasswordsDiffer');
        }
        $captcha = !vm_captcha_on('register') || vm_captcha_ok();
        if (!$captcha) {
            $message = vm_phrase('CaptchaWrong');
        } elseif ($errors !== []) {
            $message = vm_phrase('FormErrors');
        } else {
            if ($s['level_field'] !== '' && isset($t['fields'][$s['level_field']])) {
                $store[$s['level_field']] = '0';   // the default level
            }
            if ($s['activate_field'] !== '') {
                $store[$s['activate_field']] = '0';
            }
            $message = vm_register_store($t, $store, $files);
        }
    }
    vm_header(vm_phrase('Register'));
    // the registration form is in pages (FldPageIndex) by its own setting, not by the user table's add page
    $t['form']['multi_page']['add'] = (bool) $s['register']['multi_page'];
    vm_register_form($t, $cols, $values, $errors, $message);
    vm_footer();
}

function vm_register_form(array $t, array $cols, array $values, array $errors, string $message): void
{
    ob_start();
    vm_form_render($t, $cols, $values, $errors, 'register.php', $message, [], null, 'login.php');
    $form = (string) ob_get_clean();
    // the password again, and the captcha, before the buttons
    $again = '<div class="vm-field"><label for="password2">' . vm_ph('PasswordRepeat') . '</label><div class="vm-control">'
        . '<input type="password" id="password2" name="password2" autocomplete="new-password" required></div></div>'
        . (vm_captcha_on('register') ? vm_captcha_field() : '') . '<div class="vm-buttons">';
    $at = strrpos($form, '<div class="vm-buttons">');
    echo $at === false ? $form : substr($form, 0, $at) . $again . substr($form, $at + strlen('<div class="vm-buttons">'));
}

/** Stores a new user, sends the confirmation or welcome mail, and goes on; else the form's message. */
function vm_register_store(array $t, array $store, array $files): string
{
    $s = vm_config()['security'];
    $login = (string) $store[$s['login_field']];
    if (vm_user_row($login) !== null) {
        return vm_phrase('LoginTaken');
    }
    if (!vm_hook_allows('row_inserting', $store)) {
        return vm_phrase('InsertCancelled');
    }
    $stored = [];
    try {
        $stored = vm_upload_values($t, $files, $store);
        vm_insert($t, $store);
    } catch (PDOException $e) {
        array_map('vm_upload_remove', $stored);
        return vm_save_error($e, $t, $store) ?? throw $e;
    }
    vm_audit_change($t, 'add', [$login], $store);
    $email = $s['email_field'] !== '' ? (string) ($store[$s['email_field']] ?? '') : '';
    $confirm = $s['register']['confirm'] && $s['activate_field'] !== '' && $email !== '';
    if ($confirm) {
        $link = vm_absolute_url(vm_url('register.php', ['token' => vm_token_make('register', $login, 'inactive', VM_LINK_REGISTER)]));
        $sent = vm_account_mail($email, 'MailRegisterSubject', 'MailRegisterBody', ['link' => $link, 'login' => $login]);
        vm_flash($sent ? 'RegisterConfirmSent' : 'MailNotSent');
        vm_redirect('login.php');
    }
    if ($s['register']['email'] && $email !== '') {
        vm_account_mail($email, 'MailWelcomeSubject', 'MailWelcomeBody', ['login' => $login]);
    }
    $return = (string) $s['register']['return'];
    if ($s['activate_field'] === '' && $s['register']['auto_login']) {
        vm_login($login);
        vm_audit_login('login', $login);
        vm_flash('RegisterSuccess');
        vm_redirect(vm_is_local_url($return) ? $return : (string) vm_config()['default_page']);
    }
    vm_flash($s['activate_field'] === '' ? 'RegisterSuccess' : 'RegisterAwaitsActivation');
    vm_redirect(vm_is_local_url($return) ? $return : 'login.php');
}

/** The link of the confirmation mail: activates the account, once. */
function vm_register_confirm(array $t, string $token): never
{
    $s = vm_config()['security'];
    $data = vm_token_read($token, 'register', static function (string $login) {
        $row = vm_user_row($login);
        return $row !== null && !$row['active'] ? 'inactive' : null;
    });
    if ($data === null || $s['activate_field'] === '') {
        throw new VmHttpError(400, 'LinkInvalid');
    }
    vm_query_main('UPDATE ' . vm_qt_main($s['table']) . ' SET ' . vm_qi_main($s['activate_field']) . ' = ? WHERE '
        . vm_qi_main($s['login_field']) . ' = ?', ['1', $data['u']]);
    vm_audit_change($t, 'edit', [$data['u']], [$s['activate_field'] => '1'], [$s['activate_field'] => '0']);
    vm_flash('AccountActivated');
    vm_redirect('login.php');
}

// ---------------------------------------------------------------- forgotten password

function vm_page_forgotpwd(): void
{
    $s = vm_config()['security'];
    if ($s['type'] !== 'table' || $s['email_field'] === '') {
        throw new VmHttpError(404, 'PageNotFound');
    }
    if (vm_get('token') !== '') {
        vm_reset_password(vm_get('token'));
        return;
    }
    vm_account_needs_mail();
    $message = '';
    $who = '';
    if (vm_method() === 'POST') {
        $who = trim(vm_post('username'));
        if (vm_captcha_on('forgotpwd') && !vm_captcha_ok()) {
            $message = vm_phrase('CaptchaWrong');
        } else {
            if ($who !== '' && vm_reset_allowed($who)) {
                vm_send_reset_links($who);
            }
            // the same answer whether the account exists or not
            vm_flash('ResetMailSent');
            vm_redirect('login.php');
        }
    }
    vm_header(vm_phrase('ForgotPassword'));
    vm_account_form('forgotpwd.php', [['username', 'UsernameOrEmail', 'text', $who, 'username']], 'SendLink',
        vm_captcha_on('forgotpwd'), $message, vm_phrase('ForgotPasswordHelp'));
    vm_footer();
}

/** Reset mails asked for per client address and per name within the login window. */
const VM_RESET_MAX = 5;

/** True (and counted) when another reset mail may go out, so that nobody floods a mailbox. */
function vm_reset_allowed(string $who): bool
{
    $keys = ['r:' . vm_client_address(), 'r:' . mb_strtolower($who, 'UTF-8')];
    $allowed = true;
    vm_login_store(static function (array $asked) use ($keys, &$allowed): array {
        foreach ($keys as $key) {
            $allowed = $allowed && count($asked[$key] ?? []) < VM_RESET_MAX;
        }
        foreach ($allowed ? $keys : [] as $key) {
            $asked[$key][] = time();
        }
        return $asked;
    });
    return $allowed;
}

/** Mails a reset link to the account with this login name or e-mail address (a few when the address is shared). */
function vm_send_reset_links(string $who): void
{
    $s = vm_config()['security'];
    $rows = vm_query_main('SELECT ' . vm_qi_main($s['login_field']) . ' AS login, ' . vm_qi_main($s['email_field'])
        . ' AS email FROM ' . vm_qt_main($s['table']) . ' WHERE ' . vm_qi_main($s['login_field']) . ' = ? OR '
        . vm_qi_main($s['email_field']) . ' = ?', [$who, $who])->fetchAll();
    foreach (array_slice($rows, 0, 3) as $row) {
        $login = vm_str($row['login']);
        $user = vm_user_row($login);
        $email = vm_str($row['email']);
        if ($user === null || !$user['active'] || !vm_mail_address_ok($email)) {
            continue;
        }
        // bound to the stored password: the link stops working once it has been used
        $token = vm_token_make('reset', $login, $user['password'], VM_LINK_RESET);
        vm_account_mail($email, 'MailResetSubject', 'MailResetBody',
            ['link' => vm_absolute_url(vm_url('forgotpwd.php', ['token' => $token])), 'login' => $login]);
    }
}

/** The page of a reset link: a new password, once, before the link expires. */
function vm_reset_password(string $token): void
{
    $bind = static fn(string $login) => vm_user_row($login)['password'] ?? null;
    $data = vm_token_read($token, 'reset', $bind);
    if ($data === null) {
        throw new VmHttpError(400, 'LinkInvalid');
    }
    $message = '';
    if (vm_method() === 'POST') {
        $message = vm_new_password_problem(vm_post('password'), vm_post('password2')) ?? '';
        if ($message === '') {
            vm_store_password($data['u'], vm_post('password'));
            vm_audit_write([['reset password', vm_config()['security']['table'], $data['u'], '', '', '']]);
            vm_flash('PasswordChanged');
            vm_redirect('login.php');
        }
    }
    vm_header(vm_phrase('ResetPassword'));
    vm_account_form(vm_url('forgotpwd.php', ['token' => $token]), [
        ['password', 'NewPassword', 'password', '', 'new-password'],
        ['password2', 'PasswordAgain', 'password', '', 'new-password'],
    ], 'Save', false, $message);
    vm_footer();
}

// ---------------------------------------------------------------- the logged-in user's account

function vm_page_changepwd(): void
{
    if (vm_config()['security']['type'] !== 'table' || vm_user() === '') {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $message = '';
    if (vm_method() === 'POST') {
        $row = vm_user_row(vm_user());
        if (vm_captcha_on('changepwd') && !vm_captcha_ok()) {
            $message = vm_phrase('CaptchaWrong');
        } elseif ($row === null || !vm_password_verify(vm_post('old'), $row['password'])) {
            $message = vm_phrase('OldPasswordWrong');
        } else {
            $message = vm_new_password_problem(vm_post('password'), vm_post('password2')) ?? '';
        }
        if ($message === '') {
            vm_store_password(vm_user(), vm_post('password'));
            // this session goes on; the user's other sessions end at their next request
            $_SESSION['vm_stamp'] = vm_security_stamp(vm_user_row(vm_user())['password'] ?? '');
            vm_audit_write([['change password', vm_config()['security']['table'], vm_user(), '', '', '']]);
            vm_flash('PasswordChanged');
            vm_redirect('index.php');
        }
    }
    vm_header(vm_phrase('ChangePassword'));
    vm_account_form('changepwd.php', [
        ['old', 'OldPassword', 'password', '', 'current-password'],
        ['password', 'NewPassword', 'password', '', 'new-password'],
        ['password2', 'PasswordAgain', 'password', '', 'new-password'],
    ], 'Save', vm_captcha_on('changepwd'), $message);
    vm_footer();
}

function vm_page_changeemail(): void
{
    $s = vm_config()['security'];
    if ($s['type'] !== 'table' || $s['email_field'] === '' || vm_user() === '') {
        throw new VmHttpError(404, 'PageNotFound');
    }
    $current = static fn(string $login) => vm_user_row($login)['email'] ?? null;
    if (vm_get('token') !== '') {
        $data = vm_token_read(vm_get('token'), 'email', $current);
        $email = (string) ($data['x']['m'] ?? '');
        if ($data === null || $data['u'] !== vm_user() || !vm_mail_address_ok($email)) {
            throw new VmHttpError(400, 'LinkInvalid');
        }
        $old = $current($data['u']) ?? '';
        vm_query_main('UPDATE ' . vm_qt_main($s['table']) . ' SET ' . vm_qi_main($s['email_field']) . ' = ? WHERE '
            . vm_qi_main($s['login_field']) . ' = ?', [$email, $data['u']]);
        vm_audit_write([['edit', $s['table'], $data['u'], $s['email_field'], $old, $email]]);
        vm_flash('EmailChanged');
        vm_redirect('index.php');
    }
    vm_account_needs_mail();
    $message = '';
    $email = '';
    if (vm_method() === 'POST') {
        $email = trim(vm_post('email'));
        $row = vm_user_row(vm_user());
        if (!vm_mail_address_ok($email)) {
            $message = vm_phrase('InvalidEmail');
        } elseif ($row === null || !vm_password_verify(vm_post('password'), $row['password'])) {
            $message = vm_phrase('OldPasswordWrong');
        } else {
            // the link goes to the new address and works while the old one is still stored
            $token = vm_token_make('email', vm_user(), $row['email'], VM_LINK_EMAIL, ['m' => $email]);
            $sent = vm_account_mail($email, 'MailEmailSubject', 'MailEmailBody',
                ['link' => vm_absolute_url(vm_url('changeemail.php', ['token' => $token])), 'login' => vm_user()]);
            vm_flash($sent ? 'EmailChangeSent' : 'MailNotSent');
            vm_redirect('index.php');
        }
    }
    vm_header(vm_phrase('ChangeEmail'));
    vm_account_form('changeemail.php', [
        ['email', 'NewEmail', 'email', $email, 'email'],
        ['password', 'Password', 'password', '', 'current-password'],
    ], 'Save', false, $message);
    vm_footer();
}

/** The captcha image; its text is kept in the session for the next form. */
function vm_page_captcha(): void
{
    vm_captcha_library();
    $builder = new Gregwar\Captcha\CaptchaBuilder();
    $builder->build(160, 50);
    $_SESSION['vm_captcha'] = $builder->getPhrase();
    vm_stream_output();
    header('Content-Type: image/jpeg');
    header('Cache-Control: no-store');
    $builder->output();
    throw new VmStop();
}
