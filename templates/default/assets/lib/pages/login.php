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
    $login = '';
    $error = '';
    if (vm_method() === 'POST') {
        $login = trim(vm_post('username'));
        $wait = vm_login_wait($login);
        $result = $wait > 0 ? 'wait' : vm_check_login($login, vm_post('password'));
        if ($result === 'wait') {
            // the password is not even looked at until the wait is over
            http_response_code(429);
            header('Retry-After: ' . $wait);
            $error = 'TooManyAttempts';
        } elseif ($result === 'ok') {
            vm_login_succeeded($login);
            vm_login($login);
            vm_redirect($return);
        } elseif ($result === 'inactive') {
            $error = 'AccountNotActivated';
        } else {
            vm_login_failed($login);
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
        '<div class="vm-field"><label for="username">', vm_ph('Username'), '</label><div class="vm-control">',
        '<input type="text" id="username" name="username" value="', vm_h($login), '" autocomplete="username" required></div></div>',
        '<div class="vm-field"><label for="password">', vm_ph('Password'), '</label><div class="vm-control">',
        '<input type="password" id="password" name="password" autocomplete="current-password" required></div></div>',
        '<div class="vm-buttons"><button type="submit">', vm_ph('Login'), "</button></div></form>\n";
    vm_footer();
}

function vm_page_logout(): void
{
    if (vm_method() === 'POST') {
        vm_logout();
        vm_redirect(vm_config()['security']['type'] === 'none' ? 'index.php' : 'login.php');
    }
    vm_header(vm_phrase('Logout'));
    echo '<form method="post" action="logout.php" class="vm-form">', vm_csrf_field(),
        '<p>', vm_ph('LogoutConfirm'), '</p><div class="vm-buttons"><button type="submit">', vm_ph('Logout'),
        "</button></div></form>\n";
    vm_footer();
}
