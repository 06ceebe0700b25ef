<?php
declare(strict_types=1);

/** Sending e-mail through the project's SMTP server (config 'smtp') with PHPMailer. */

require_once __DIR__ . '/libraries.php';

/** The SMTP settings with every key present. */
function vm_smtp_config(): array
{
    $smtp = vm_config()['smtp'] ?? [];
    return array_replace(['host' => 'localhost', 'port' => 25, 'secure' => '', 'username' => '', 'password' => '',
        'sender' => ''], is_array($smtp) ? $smtp : []);
}

/**
 * True for one plain address that is safe in a header: no line break, NUL, comma, semicolon or
 * display name can smuggle in another header or recipient.
 */
function vm_mail_address_ok(string $address): bool
{
    return $address !== '' && strlen($address) <= 254 && !preg_match('/[\x00-\x1f\x7f,;<>"\s]/', $address)
        && filter_var($address, FILTER_VALIDATE_EMAIL) !== false;
}

/** Addresses written in one field, separated by commas, semicolons or spaces. */
function vm_mail_split(string $list): array
{
    return array_values(array_filter(preg_split('/[\s,;]+/', trim($list)) ?: [], static fn($a) => $a !== ''));
}

/**
 * Sends a plain-text message to every address of $to, with files attached, each
 * ['path' => file, 'name' => name shown, 'type' => MIME type]. False (and the reason in the
 * error log) when an address or the subject is refused, the library is missing, or the server
 * does not take the message.
 */
function vm_mail_send(array $to, string $subject, string $text, array $attachments = []): bool
{
    $smtp = vm_smtp_config();
    $sender = (string) $smtp['sender'];
    if ($sender === '') {
        $sender = 'noreply@localhost.localdomain';
    }
    foreach (array_merge($to, [$sender]) as $address) {
        if (!is_string($address) || !vm_mail_address_ok($address)) {
            error_log('velmora notice: mail refused: bad address');
            return false;
        }
    }
    if ($to === [] || preg_match('/[\x00-\x1f\x7f]/', $subject) || strlen($subject) > 900) {
        error_log('velmora notice: mail refused: no recipient or a bad subject');
        return false;
    }
    if (!vm_library('phpmailer')) {
        error_log('velmora notice: mail not sent: ' . vm_library_missing_text('phpmailer'));
        return false;
    }
    $mail = new PHPMailer\PHPMailer\PHPMailer(true);
    try {
        $mail->isSMTP();
        $mail->Host = (string) $smtp['host'];
        $mail->Port = (int) $smtp['port'] > 0 ? (int) $smtp['port'] : 25;
        $secure = strtolower((string) $smtp['secure']);
        if ($secure === 'ssl' || $secure === 'tls') {
            $mail->SMTPSecure = $secure;
        }
        if ((string) $smtp['username'] !== '') {
            $mail->SMTPAuth = true;
            $mail->Username = (string) $smtp['username'];
            $mail->Password = (string) $smtp['password'];
        }
        $mail->Timeout = 15;
        $mail->CharSet = 'UTF-8';
        $mail->setFrom($sender);
        foreach ($to as $address) {
            $mail->addAddress($address);
        }
        $mail->Subject = $subject;
        $mail->Body = $text;
        foreach ($attachments as $a) {
            $name = preg_replace('/[^A-Za-z0-9._-]/', '_', (string) ($a['name'] ?? 'attachment'));
            $mail->addAttachment((string) $a['path'], $name, 'base64', (string) ($a['type'] ?? 'application/octet-stream'));
        }
        return $mail->send();
    } catch (Throwable $e) {
        error_log('velmora notice: mail not sent: ' . $e->getMessage());
        return false;
    }
}
