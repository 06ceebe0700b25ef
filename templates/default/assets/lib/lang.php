<?php
declare(strict_types=1);

/**
 * The phrases of the user interface, read from lang/<language>.xml.
 *
 * The file looks like
 *   <velmora-language id="english" desc="English" version="1.0">
 *     <locale id="decimal_point" value="."/>
 *     <global><phrase id="AddLink" value="Add"/></global>
 *   </velmora-language>
 * It is read with a small tokenizer rather than an XML extension, so the runtime needs none.
 */
final class VmLanguage
{
    /** @var array<string, string> */
    private array $phrases = [];
    /** @var array<string, string> lower-cased id => phrase, for ids written with another case */
    private array $folded = [];
    /** @var array<string, string> */
    private array $locale = [];
    public string $id = '';

    public function __construct(string $file)
    {
        if (!is_file($file)) {
            return;
        }
        $xml = (string) file_get_contents($file);
        $xml = (string) preg_replace('/<!--.*?-->/s', '', $xml);
        if (preg_match('/<velmora-language\b([^>]*)>/i', $xml, $root)) {
            $this->id = self::attributes($root[1])['id'] ?? '';
        }
        if (!preg_match_all('/<(phrase|locale)\b([^>]*)>/i', $xml, $m, PREG_SET_ORDER)) {
            return;
        }
        foreach ($m as $element) {
            $a = self::attributes($element[2]);
            if (!isset($a['id'], $a['value'])) {
                continue;
            }
            if (strtolower($element[1]) === 'locale') {
                $this->locale[$a['id']] = $a['value'];
            } else {
                $this->phrases[$a['id']] = $a['value'];
                $this->folded[strtolower($a['id'])] = $a['value'];
            }
        }
    }

    /** @return array<string, string> */
    private static function attributes(string $text): array
    {
        $out = [];
        if (preg_match_all('/([A-Za-z_:][-A-Za-z0-9_:.]*)\s*=\s*(?:"([^"]*)"|\'([^\']*)\')/', $text, $m, PREG_SET_ORDER)) {
            foreach ($m as $a) {
                $raw = isset($a[3]) && $a[3] !== '' ? $a[3] : $a[2];
                $out[$a[1]] = html_entity_decode($raw, ENT_QUOTES | ENT_XML1, 'UTF-8');
            }
        }
        return $out;
    }

    /** The phrase with this id; the id itself when the language file lacks it. */
    public function Phrase(string $id): string
    {
        return $this->phrases[$id] ?? $this->folded[strtolower($id)] ?? $id;
    }

    /** A locale setting (decimal_point, thousands_sep, currency_symbol, ...). */
    public function Locale(string $id, string $default = ''): string
    {
        return $this->locale[$id] ?? $default;
    }
}
