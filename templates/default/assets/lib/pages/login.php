<?php
declare(strict_types=1);

/** Login and logout. */

/** The page to go to after a login: ?return= when it is a page of this application. */
function vm_login_return(): string
{
    $r = vm_method() === 'POST' ? vm_post('return') : vm_get('return');
    if ($r !== '' && vm_is_local_url($r) && !preg_match('/^(login|logout)\.php/i', $r)) {
        return $r;
    }
    $default = (string) vm_config()['default_page'];
    return vm_is_local_url($default) ? $default : 'index.php';
}

function vm_page_login(): void
{
    $return = vm_login_return();
    if (vm_config()['security']['type'] === 'none' || (vm_user() !== '' && vm_method() !== 'POST')) {
        vm_redirect($return, 302);
    }
    require_once VM_LIB_DIR . '/audit.php';
    $remembered = $_COOKIE['vm_login_name'] ?? '';
    $login = vm_login_option('username') && is_string($remembered) ? substr($remembered, 0, 100) : '';
    $error = '';
    if (vm_method() === 'POST') {
        $login = vm_login_name_of(trim(vm_post('username')));
        $wait = vm_login_wait($login);
        $captcha = !vm_captcha_on('login') || vm_captcha_ok();
        $result = $wait > 0 ? 'wait' : ($captcha ? vm_check_login($login, vm_post('password')) : 'captcha');
        if ($result === 'wait') {
            // the password is not even looked at until the wait is over
            http_response_code(429);
            header('Retry-After: ' . $wait);
            $error = 'TooManyAttempts';
        } elseif ($result === 'captcha') {
            $error = 'CaptchaWrong';
        } elseif ($result === 'ok') {
            vm_login_succeeded($login);
            vm_login($login);
            vm_audit_login('login', $login);
            if (vm_login_option('autologin') && vm_post('remember') === '1') {
                vm_remember_login($login);
            }
            if (vm_login_option('username')) {
                setcookie('vm_login_name', $login, ['expires' => time() + 30 * 86400, 'path' => session_get_cookie_params()['path'],
                    'secure' => vm_request_https(), 'httponly' => true, 'samesite' => 'Lax']);
            }
            vm_redirect($return);
        } elseif ($result === 'inactive') {
            $error = 'AccountNotActivated';
        } else {
            vm_login_failed($login);
            vm_audit_login('login failed', $login);
            $error = 'IncorrectLogin';
        }
    }
    vm_header(vm_phrase('Login'));
    if ($error !== '') {
        echo '<p class="vm-message vm-error" role="alert">', vm_ph($error), "</p>\n";
    }
    echo '<form method="post" action="', vm_h(vm_url('login.php', ['return' => $return])), '" class="vm-form vm-login">',
        vm_csrf_field(),
        '<input type="hidden" name="return" value="', vm_h($return), '">',
        '<div class="vm-field"><label for="username">', vm_ph(vm_login_option('email') ? 'UsernameOrEmail' : 'Username'), '</label><div class="vm-control">',
        '<input type="text" id="username" name="username" value="', vm_h($login), '" autocomplete="username" required></div></div>',
        '<div class="vm-field"><label for="password">', vm_ph('Password'), '</label><div class="vm-control">',
        '<input type="password" id="password" name="password" autocomplete="current-password" required></div></div>',
        vm_login_option('autologin') ? '<div class="vm-field vm-check"><label><input type="checkbox" name="remember" value="1"> '
            . vm_ph('RememberMe') . '</label></div>' : '',
        vm_captcha_on('login') ? vm_captcha_field() : '',
        '<div class="vm-buttons"><button type="submit">', vm_ph('Login'), "</button></div></form>\n";
    $links = [];
    foreach (['forgotpwd' => 'ForgotPassword', 'register' => 'Register'] as $page => $phrase) {
        if (vm_config()['security']['type'] === 'table' && is_file(VM_APP_DIR . '/' . $page . '.php')) {
            $links[] = vm_link($page . '.php', vm_phrase($phrase));
        }
    }
    if ($links !== []) {
        echo '<p class="vm-account-links">', implode(' ', $links), "</p>\n";
    }
    vm_footer();
}

function vm_page_logout(): void
{
    if (vm_method() === 'POST') {
        require_once VM_LIB_DIR . '/audit.php';
        vm_audit_login('logout', vm_user());
        vm_logout();
        vm_redirect(vm_config()['security']['type'] === 'none' ? 'index.php' : 'login.php');
    }
    vm_header(vm_phrase('Logout'));
    echo '<form method="post" action="logout.php" class="vm-form">', vm_csrf_field(),
        '<p>', vm_ph('LogoutConfirm'), '</p><div class="vm-buttons"><button type="submit">', vm_ph('Logout'),
        "</button></div></form>\n";
    vm_footer();
}
