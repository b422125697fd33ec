<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>ChannelMetersItem</name>
    <message>
        <source>CHANNEL LEVELS</source>
        <translation>チャンネルレベル</translation>
    </message>
    <message>
        <source>waiting for samples</source>
        <translation>サンプル待機中</translation>
    </message>
</context>
<context>
    <name>SpectrogramItem</name>
    <message>
        <source>SPECTRUM PREVIEW</source>
        <translation>スペクトルプレビュー</translation>
    </message>
    <message>
        <source>waiting for samples</source>
        <translation>サンプル待機中</translation>
    </message>
</context>
<context>
    <name>UiController</name>
    <message>
        <source>Live stopped</source>
        <translation>ライブ停止中</translation>
    </message>
    <message>
        <source>Not calibrated</source>
        <translation>未校正</translation>
    </message>
    <message>
        <source>Waiting for raw samples</source>
        <translation>生サンプルを待機しています</translation>
    </message>
    <message>
        <source>Load a validated Device Profile to begin</source>
        <translation>開始するには検証済みのデバイスプロファイルを読み込んでください</translation>
    </message>
    <message>
        <source>Device Profile validated; system ready to start</source>
        <translation>デバイスプロファイルを検証しました。システムは開始できます</translation>
    </message>
    <message>
        <source>Profile validation failed: %1</source>
        <translation>プロファイルの検証に失敗しました: %1</translation>
    </message>
    <message>
        <source>Select a directory for the new Project</source>
        <translation>新しいプロジェクトのディレクトリを選択してください</translation>
    </message>
    <message>
        <source>The selected directory already contains a Project</source>
        <translation>選択したディレクトリには既にプロジェクトがあります</translation>
    </message>
    <message>
        <source>The selected path is not a directory</source>
        <translation>選択したパスはディレクトリではありません</translation>
    </message>
    <message>
        <source>The selected directory is not empty - choose an empty directory for a new Project</source>
        <translation>選択したディレクトリは空ではありません - 新しいプロジェクトには空のディレクトリを選択してください</translation>
    </message>
    <message>
        <source>Project no longer exists at %1 - removed from Recent</source>
        <translation>プロジェクトは %1 に存在しなくなりました - 最近使ったプロジェクトから削除しました</translation>
    </message>
    <message>
        <source>Open Project failed: %1</source>
        <translation>プロジェクトを開けませんでした: %1</translation>
    </message>
    <message>
        <source>Diagnostics export failed: cannot create folder</source>
        <translation>診断のエクスポートに失敗しました：フォルダーを作成できません</translation>
    </message>
    <message>
        <source>Diagnostics export failed: %1</source>
        <translation>診断のエクスポートに失敗しました：%1</translation>
    </message>
    <message>
        <source>Diagnostics bundle exported: %1</source>
        <translation>診断バンドルをエクスポートしました：%1</translation>
    </message>
    <message>
        <source>Backup failed: cannot create folder</source>
        <translation>バックアップに失敗しました：フォルダーを作成できません</translation>
    </message>
    <message>
        <source>Backup failed: %1</source>
        <translation>バックアップに失敗しました：%1</translation>
    </message>
    <message>
        <source>Settings backup written: %1</source>
        <translation>設定のバックアップを書き込みました：%1</translation>
    </message>
    <message>
        <source>Open diagnostics folder failed: %1</source>
        <translation>診断フォルダーを開けませんでした：%1</translation>
    </message>
</context>
<context>
    <name>UvcParameter</name>
    <message>
        <source>Brightness</source>
        <translation>明るさ</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>コントラスト</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>色相</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>彩度</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>シャープネス</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>ガンマ</translation>
    </message>
    <message>
        <source>Color enable</source>
        <translation>カラー有効</translation>
    </message>
    <message>
        <source>White balance</source>
        <translation>ホワイトバランス</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>逆光補正</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>ゲイン</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>露出</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>フォーカス</translation>
    </message>
    <message>
        <source>Iris</source>
        <translation>絞り</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>ズーム</translation>
    </message>
    <message>
        <source>Pan</source>
        <translation>パン</translation>
    </message>
    <message>
        <source>Tilt</source>
        <translation>チルト</translation>
    </message>
    <message>
        <source>Roll</source>
        <translation>ロール</translation>
    </message>
    <message>
        <source>Powerline frequency</source>
        <translation>電源周波数</translation>
    </message>
</context>
</TS>
