<?php
/*
 * Read vCard files with sabre/vobject 2.1 as Debian ships it
 * (php-sabre-vobject) and print what it makes of them as one JSON document.
 *
 * Usage: php sabre_adapter.php FILE.vcf...
 *
 * sabre 2.1 is a thin model: Reader unfolds lines and turns "\\" and "\n"
 * into their characters, and that is all.  It decodes no quoted-printable,
 * converts no CHARSET, and gives parameters no meaning (TYPE, PREF and a
 * bare 2.1 "TEL;WORK" stay raw Parameter objects).  Only N, ADR, ORG and
 * CATEGORIES get a structured view, Property\Compound::getParts(), which
 * splits on unescaped ';' and undoes "\;" and "\,".  Everything past that
 * was left to the application; this adapter does the least an application
 * had to do to use the values at all (read TYPE lists, decode a base64 or
 * data: PHOTO) and no more, so that the faults of the library stay visible.
 */

// Old sabre code may raise PHP notices; stdout is reserved for the JSON.
ini_set('display_errors', 'stderr');

require_once '/usr/share/php/Sabre/VObject/autoload.php';

use Sabre\VObject\Component;
use Sabre\VObject\Property;
use Sabre\VObject\Reader;
use Sabre\VObject\Version;

const IMPORTER = 'sabre/vobject';
const N_PART_COUNT = 5;
const ADR_PART_COUNT = 7;

function warn($path, $message) {
    fwrite(STDERR, "$path: $message\n");
}

function firstProperty(Component $card, $name) {
    $found = $card->select($name);
    return $found ? reset($found) : null;
}

function textOf(Component $card, $name) {
    $property = firstProperty($card, $name);
    return $property === null ? null : (string)$property->value;
}

function padded(array $parts, $count) {
    return array_pad(array_map('strval', $parts), $count, '');
}

function partsOf(Component $card, $name, $count = 0) {
    $property = firstProperty($card, $name);
    if ($property === null) {
        return null;
    }
    return padded($property->getParts(), $count);
}

/*
 * sabre hands TYPE over as the raw parameter text ("work,voice") and keeps
 * the bare 2.1 form (TEL;WORK;VOICE) as parameters that have a name and no
 * value, so both are read here as types.
 */
function typesAndPref(Property $property) {
    $types = array();
    $pref = false;
    foreach ($property->parameters as $parameter) {
        $name = strtolower($parameter->name);
        if ($parameter->value === null) {
            $types[] = $name;
        } elseif ($name === 'type') {
            foreach (explode(',', $parameter->value) as $type) {
                $types[] = strtolower(trim($type));
            }
        } elseif ($name === 'pref') {
            $pref = true;
        }
    }
    if (in_array('pref', $types, true)) {
        $pref = true;
    }
    $types = array_values(array_unique(array_diff($types, array('pref', ''))));
    sort($types);
    return array($types, $pref);
}

function typedValues(Component $card, $name) {
    $entries = array();
    foreach ($card->select($name) as $property) {
        list($types, $pref) = typesAndPref($property);
        $entries[] = array('value' => (string)$property->value,
                           'types' => $types, 'pref' => $pref);
    }
    return $entries;
}

function addresses(Component $card) {
    $entries = array();
    foreach ($card->select('ADR') as $property) {
        list($types, $pref) = typesAndPref($property);
        $entries[] = array('types' => $types, 'pref' => $pref,
                           'parts' => padded($property->getParts(), ADR_PART_COUNT));
    }
    return $entries;
}

function urls(Component $card) {
    $entries = array();
    foreach (typedValues($card, 'URL') as $entry) {
        $entries[] = array('value' => $entry['value'], 'types' => $entry['types']);
    }
    return $entries;
}

function birthday($path, Component $card) {
    $value = textOf($card, 'BDAY');
    if ($value === null) {
        return null;
    }
    if (preg_match('/^(\d{4})-?(\d{2})-?(\d{2})(T.*)?$/', trim($value), $m)) {
        return "$m[1]-$m[2]-$m[3]";
    }
    warn($path, "BDAY '$value' is no full date; passed on as sabre gives it");
    return $value;
}

function nicknames(Component $card) {
    $value = textOf($card, 'NICKNAME');
    return $value === null ? array() : array($value);
}

function parameterValue(Property $property, $name) {
    foreach ($property->parameters as $parameter) {
        if ($parameter->name === $name) {
            return (string)$parameter->value;
        }
    }
    return null;
}

function hasBareParameter(Property $property, array $names) {
    foreach ($property->parameters as $parameter) {
        if ($parameter->value === null && in_array($parameter->name, $names, true)) {
            return true;
        }
    }
    return false;
}

function isBase64(Property $property) {
    $encoding = strtoupper((string)parameterValue($property, 'ENCODING'));
    return $encoding === 'B' || $encoding === 'BASE64'
        || hasBareParameter($property, array('B', 'BASE64'));
}

function dataUriBytes($uri) {
    $comma = strpos($uri, ',');
    if ($comma === false) {
        return false;
    }
    $header = substr($uri, strlen('data:'), $comma - strlen('data:'));
    $payload = substr($uri, $comma + 1);
    if (preg_match('/;base64$/i', $header)) {
        return base64_decode($payload);
    }
    return rawurldecode($payload);
}

function photoDigest($path, Component $card) {
    $property = firstProperty($card, 'PHOTO');
    if ($property === null) {
        return null;
    }
    $value = (string)$property->value;
    if (isBase64($property)) {
        $bytes = base64_decode($value);
    } elseif (stripos($value, 'data:') === 0) {
        $bytes = dataUriBytes($value);
    } else {
        return 'uri:' . $value;
    }
    if ($bytes === false || $bytes === '') {
        warn($path, 'PHOTO does not decode');
        return null;
    }
    return hash('sha256', $bytes);
}

function fieldsOf($path, Component $card) {
    return array(
        'fn' => textOf($card, 'FN'),
        'n' => partsOf($card, 'N', N_PART_COUNT),
        'org' => partsOf($card, 'ORG'),
        'title' => textOf($card, 'TITLE'),
        'tel' => typedValues($card, 'TEL'),
        'email' => typedValues($card, 'EMAIL'),
        'adr' => addresses($card),
        'url' => urls($card),
        'bday' => birthday($path, $card),
        'note' => textOf($card, 'NOTE'),
        'nickname' => nicknames($card),
        'photo' => photoDigest($path, $card),
    );
}

function countCards($data) {
    return preg_match_all('/^BEGIN:VCARD\s*$/mi', $data);
}

function readCard($path) {
    $card = array('file' => $path, 'error' => null, 'fields' => null);
    $data = @file_get_contents($path);
    if ($data === false) {
        $card['error'] = 'cannot read file';
        return $card;
    }
    if (!preg_match('//u', $data)) {
        warn($path, 'not UTF-8; sabre keeps the bytes as they are, the JSON shows them as U+FFFD');
    }
    try {
        $component = Reader::read($data);
    } catch (\Throwable $e) {
        $card['error'] = get_class($e) . ': ' . $e->getMessage();
        return $card;
    }
    if (!($component instanceof Component) || $component->name !== 'VCARD') {
        $card['error'] = 'sabre did not find a VCARD component';
        return $card;
    }
    $card['fields'] = fieldsOf($path, $component);
    $cards = countCards($data);
    if ($cards > 1) {
        $card['warning'] = "$cards cards in file";
    }
    return $card;
}

function main(array $paths) {
    $document = array(
        'importer' => IMPORTER,
        'library' => 'sabre/vobject ' . Version::VERSION,
        'cards' => array_map('readCard', $paths),
    );
    $flags = JSON_UNESCAPED_UNICODE | JSON_UNESCAPED_SLASHES | JSON_INVALID_UTF8_SUBSTITUTE;
    $json = json_encode($document, $flags);
    if ($json === false) {
        fwrite(STDERR, 'json_encode failed: ' . json_last_error_msg() . "\n");
        return 1;
    }
    echo $json, "\n";
    return 0;
}

exit(main(array_slice($argv, 1)));
